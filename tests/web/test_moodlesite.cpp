// The local site itself: each editor family shows the markup and script
// objects a Moodle site of that family has.
#include "moodlesitefixture.h"
#include "testutil.h"
#include "webtestutil.h"

#include "app/config/appconfigs.h"
#include "web/embeddedwb.h"
#include "web/moodlesiteconnect.h"
#include "web/webbrowsers.h"

#include <gtest/gtest.h>

namespace {

TEST(MoodleSite, EachEditorFamilyShowsItsOwnShape)
{
    TMoodleSite site;
    ASSERT_TRUE(site.IsRunning());
    auto b = webtest::NewBrowser();
    auto config = site.NewSiteConfig();
    TMoodleSiteConnect::LoginToMoodle(b.get(), config.get());
    const QString hiddenItemId = "document.querySelector('input[name=\"summary_editor[itemid]\"]').value";

    site.Configure(QJsonObject{{"editor", "tiny"}});
    ASSERT_TRUE(webtest::Load(b.get(), site.Url("/course/edit.php?id=2")));
    ASSERT_TRUE(testutil::waitUntil([&] { return b->ScriptValue("typeof tinymce").toString() == "object"; }));
    EXPECT_EQ(b->ScriptValue("typeof M.editor_tinymce").toString(), "undefined");
    EXPECT_EQ(b->ScriptValue("document.getElementById('id_summary_editor_ifr').parentElement.className").toString(), "tox-edit-area");
    EXPECT_EQ(b->ScriptValue("String(tinymce.get('id_summary_editor').options.get('moodle:filepickers').image.itemid)").toString(),
              b->ScriptValue(hiddenItemId).toString());
    EXPECT_EQ(b->ScriptValue("tinymce.get('id_summary_editor').options.get('moodle:contextid')").toInt(), 25);
    b->ExecScript("tinymce.get('id_summary_editor').setContent('<p>new</p>')");
    EXPECT_EQ(b->ScriptValue("document.getElementById('id_summary_editor').value").toString(), "<p>new</p>");
    EXPECT_EQ(b->ScriptValue("document.getElementById('id_summary_editor_ifr').contentDocument.body.innerHTML").toString(), "<p>new</p>");

    site.Configure(QJsonObject{{"editor", "atto"}});
    ASSERT_TRUE(webtest::Load(b.get(), site.Url("/course/edit.php?id=2")));
    EXPECT_EQ(b->ScriptValue("document.getElementById('id_summary_editoreditable').isContentEditable").toBool(), true);
    EXPECT_EQ(b->ScriptValue("document.getElementById('id_summary_editoreditable').parentElement.className").toString(),
              "editor_atto_content_wrap");
    EXPECT_EQ(b->ScriptValue("document.getElementsByTagName('iframe').length").toInt(), 0);
    EXPECT_FALSE(b->ScriptValue(hiddenItemId).toString().isEmpty());
}

TEST(MoodleSite, ATokenSiteRefusesALoginWithoutItsToken)
{
    TMoodleSite site({"--login", "token"});
    ASSERT_TRUE(site.IsRunning());
    auto b = webtest::NewBrowser();
    ASSERT_TRUE(webtest::Load(b.get(), site.Url("/login/index.php")));
    const QString token = b->ScriptValue("document.querySelector('input[name=logintoken]').value").toString();
    EXPECT_EQ(token.size(), 32);
    b->ExecScript("document.getElementById('username').value = 'teacher';"
                  "document.getElementById('password').value = 'Secret-1';");
    b->ExecScript("setTimeout(function () { document.getElementById('login').submit(); }, 0)");
    EXPECT_TRUE(testutil::waitUntil([&] { return b->LocationURL().endsWith("/my/") && !b->Busy(); }));

    auto other = site.NewSiteConfig();
    // The two stored fields alone are refused like a wrong password.
    const QStringList twoFields = TMoodleSiteConnect::LoginFields(other.get());
    TEmbeddedWBUtil::BrowserPost(b.get(), other->LoginUrl(), &twoFields, nullptr);
    EXPECT_TRUE(b->LocationURL().endsWith("/login/"));
    EXPECT_TRUE(b->Document().Body().InnerText().contains("Invalid login"));

    // A token already used for a login is stale.
    const QStringList stale = twoFields + QStringList{"logintoken=" + token};
    TEmbeddedWBUtil::BrowserPost(b.get(), other->LoginUrl(), &stale, nullptr);
    EXPECT_TRUE(b->Document().Body().InnerText().contains("Invalid login"));
}

} // namespace
