// The site editor of each family, on the local site's course page: focus,
// content, writing back so that the form saves it, and the upload values.
#include "moodlesitefixture.h"
#include "testutil.h"
#include "webtestutil.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/moodlerepouploaders.h"
#include "web/embeddedwb.h"
#include "web/moodleeditors.h"
#include "web/moodlepagetracker.h"
#include "web/moodlereposite.h"
#include "web/moodlesiteconnect.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const TMoodleEditorFamily Families[] = {TMoodleEditorFamily::LegacyTinyMCE, TMoodleEditorFamily::TinyMCE,
                                        TMoodleEditorFamily::Atto};

class MoodleEditorsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Site = new TMoodleSite(); }
    static void TearDownTestSuite() { delete Site; Site = nullptr; }

    void SetUp() override
    {
        ASSERT_TRUE(Site->IsRunning());
        Site->Configure(QJsonObject{{"picker_omit", QJsonArray()}});
        Browser = webtest::NewBrowser();
        auto config = Site->NewSiteConfig();
        TMoodleSiteConnect::LoginToMoodle(Browser.get(), config.get());
        RepoUrl = config->RepoUploadUrl();
    }
    void TearDown() override { Site->Configure(QJsonObject{{"editor", "legacy"}, {"picker_omit", QJsonArray()}}); }

    // The course page in the family of c, its summary editor booted.
    void OpenCoursePage(const TEditorPageCase& c)
    {
        Site->Configure(QJsonObject{{"editor", c.Switch}});
        ASSERT_TRUE(webtest::Load(Browser.get(), Site->Url("/course/edit.php?id=2")));
        ASSERT_TRUE(testutil::waitUntil([&] { return Browser->ScriptValue(c.ReadyScript).toBool(); }));
    }
    THtmlElement Editor(const TEditorPageCase& c) { return Browser->Document().GetElementById(c.FocusId); }
    QString HiddenItemId()
    {
        return Browser->ScriptValue("document.querySelector('input[name=\"summary_editor[itemid]\"]').value").toString();
    }

    static TMoodleSite* Site;
    std::unique_ptr<TEmbeddedWB> Browser;
    QString RepoUrl;
};
TMoodleSite* MoodleEditorsTest::Site = nullptr;

TEST_F(MoodleEditorsTest, FocusIntoEachFamilysEditorRaisesTheEditorEvent)
{
    auto* tracker = new TMoodlePageTracker(Browser.get());
    tracker->SetActive(true);
    QList<THtmlElement> elements, editors;
    QObject::connect(tracker, &TMoodlePageTracker::OnElementFocus, [&](QObject*, const THtmlElement& e) { elements << e; });
    QObject::connect(tracker, &TMoodlePageTracker::OnWyswigEditorFocus, [&](QObject*, const THtmlElement& e) { editors << e; });
    for (int i = 0; i < 3; ++i) {
        const TEditorPageCase& c = EditorPageCases()[i];
        SCOPED_TRACE(c.Switch.toStdString());
        OpenCoursePage(c);
        elements.clear();
        editors.clear();
        Browser->ExecScript("document.getElementById('id_fullname').focus();");
        ASSERT_TRUE(testutil::waitUntil([&] { return elements.size() == 1; }, 5000));
        EXPECT_TRUE(editors.isEmpty());
        EXPECT_FALSE(tracker->CurrMoodleWyswigEditor());

        Browser->ExecScript(c.FocusScript);
        ASSERT_TRUE(testutil::waitUntil([&] { return editors.size() == 1; }, 5000));
        EXPECT_EQ(editors.first().Id(), c.FocusId);
        EXPECT_EQ(TMoodleEditors::FamilyOf(editors.first()), Families[i]);
        EXPECT_EQ(tracker->CurrMoodleWyswigEditor().Id(), c.FocusId);
        EXPECT_EQ(TMoodleEditors::FamilyOfEditor(Browser.get(), "id_summary_editor"), Families[i]);
        EXPECT_EQ(TMoodleEditors::FamilyOfEditor(Browser.get(), "id_fullname"), TMoodleEditorFamily::None);
    }
}

TEST_F(MoodleEditorsTest, ContentIsClassifiedAndWrittenSoThatTheFormSavesIt)
{
    for (int i = 0; i < 3; ++i) {
        const TEditorPageCase& c = EditorPageCases()[i];
        SCOPED_TRACE(c.Switch.toStdString());
        OpenCoursePage(c);
        const THtmlElement editor = Editor(c);
        ASSERT_TRUE(editor);
        EXPECT_EQ(TMoodleEditors::ContentOf(editor), TMoodleEditorContent::Text);
        EXPECT_TRUE(TMoodleEditors::Content(editor).contains("Text of summary_editor"));

        struct Kind { const char* html; TMoodleEditorContent kind; } kinds[] = {
            {"<p><br></p>", TMoodleEditorContent::Empty},
            {"<p> &nbsp;</p>", TMoodleEditorContent::Text}, // a no-break space is above 32
            {"<p>Some text</p>", TMoodleEditorContent::Text},
            {"<p><img src=\"x.png\"></p>", TMoodleEditorContent::Pictures},
            {"<p>Words <object></object></p>", TMoodleEditorContent::Pictures},
        };
        for (const Kind& k : kinds) {
            TMoodleEditors::SetContent(editor, k.html);
            EXPECT_EQ(TMoodleEditors::ContentOf(editor), k.kind) << k.html;
        }

        const QString html = "<div style=\"position: relative\"><p>Saved <b>text</b> of " + c.Switch + "</p></div>";
        TMoodleEditors::SetContent(editor, html);
        EXPECT_EQ(Browser->ScriptValue(c.ApiContentExpr).toString(), html);
        EXPECT_EQ(TMoodleEditors::Content(editor), html);
        // The site's own submit saves what the editor holds.
        Site->ResetRequests();
        Browser->ExecScript("setTimeout(function () { document.getElementById('id_submitbutton').click(); }, 0)");
        ASSERT_TRUE(testutil::waitUntil([&] {
            return !Site->RequestsTo("/course/edit.php").isEmpty() && !Browser->Busy();
        }));
        const TSiteRequest post = Site->RequestsTo("/course/edit.php").first();
        EXPECT_EQ(post.Method, "POST");
        EXPECT_EQ(post.FormField("summary_editor[text]"), html);
    }
}

TEST_F(MoodleEditorsTest, UploadValuesComeFromEachFamilysOwnPlace)
{
    for (int i = 0; i < 3; ++i) {
        const TEditorPageCase& c = EditorPageCases()[i];
        SCOPED_TRACE(c.Switch.toStdString());
        OpenCoursePage(c);
        const TMoodleRepoPageValues v = TMoodleRepoBrowserSite::ReadPageValues(Browser.get(), "id_summary_editor", "image");
        EXPECT_EQ(v.SessKey.toString(), Browser->ScriptValue("M.cfg.sesskey").toString());
        EXPECT_EQ(v.RepoId.toString(), "3");
        EXPECT_EQ(v.Env.toString(), "editor");
        EXPECT_EQ(v.ClientId.toString().size(), 13);
        EXPECT_EQ(TMoodleRepoUtil::ReadInt64(v.ItemId), HiddenItemId().toLongLong());
        EXPECT_EQ(TMoodleRepoUtil::ReadInt64(v.MaxBytes), -1);
        EXPECT_EQ(v.ContextId.toString(), "25");
        if (Families[i] == TMoodleEditorFamily::TinyMCE) {
            EXPECT_EQ(v.ClientId.toString(),
                      Browser->ScriptValue("tinymce.get('id_summary_editor').options.get('moodle:filepickers').image.client_id").toString());
        }
        // Each editor of the page has its own draft area.
        const TMoodleRepoPageValues other = TMoodleRepoBrowserSite::ReadPageValues(Browser.get(), "id_description_editor", "image");
        EXPECT_NE(TMoodleRepoUtil::ReadInt64(other.ItemId), TMoodleRepoUtil::ReadInt64(v.ItemId));
    }

    // The newer editors also keep the draft area and the context outside
    // the picker options; those are used when the options lack them.
    Site->Configure(QJsonObject{{"picker_omit", QJsonArray{"itemid", "context"}}});
    for (int i = 1; i < 3; ++i) {
        const TEditorPageCase& c = EditorPageCases()[i];
        SCOPED_TRACE(c.Switch.toStdString());
        OpenCoursePage(c);
        const TMoodleRepoPageValues v = TMoodleRepoBrowserSite::ReadPageValues(Browser.get(), "id_summary_editor", "image");
        EXPECT_EQ(TMoodleRepoUtil::ReadInt64(v.ItemId), HiddenItemId().toLongLong());
        EXPECT_EQ(v.ContextId.toString(), "25");
    }
}

TEST_F(MoodleEditorsTest, AMissingValueFailsTheRunNamingItBeforeAnythingIsSent)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath("a.png");
    ASSERT_TRUE(testutil::writeFile(picture, QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(500, 'x')));
    TEmbeddedWB oper;
    oper.resize(1, 1);
    TMoodleRepoBrowserSite site(Browser.get(), &oper);

    struct Case { QJsonArray omit; const char* named; } cases[] = {
        {{"client_id"}, "client_id"},
        {{"repositories"}, "upload repository id"},
        {{"env", "maxbytes"}, "env, maxbytes"},
    };
    for (int i = 1; i < 3; ++i) {
        const TEditorPageCase& c = EditorPageCases()[i];
        for (const Case& k : cases) {
            SCOPED_TRACE(c.Switch.toStdString() + " " + k.named);
            Site->Configure(QJsonObject{{"picker_omit", k.omit}});
            OpenCoursePage(c);
            Site->ResetRequests();
            TMoodleRepoFileUploader uploader;
            uploader.SetUploadSite(&site);
            uploader.SetTargetEditorId(c.FocusId);
            uploader.SetMoodleRepoPostUrl(RepoUrl);
            QString error;
            int files = 0;
            uploader.Upload({picture}, [&](bool, const QString&, const QString&, const Exception*, bool&) { ++files; },
                            nullptr, [&](const Exception& e) { error = e.Message(); });
            EXPECT_EQ(files, 0);
            EXPECT_TRUE(error.contains(QString::fromLatin1(k.named))) << error.toStdString();
            EXPECT_TRUE(error.contains(TMoodleEditors::FamilyName(Families[i]) + " editor id_summary_editor"))
                << error.toStdString();
            EXPECT_TRUE(Site->RequestsTo("/repository/").isEmpty());
        }
    }
    // An item type the editor has no picker for.
    Site->Configure(QJsonObject{{"picker_omit", QJsonArray()}});
    OpenCoursePage(EditorPageCases()[1]);
    try {
        TMoodleRepoBrowserSite::ReadPageValues(Browser.get(), "id_summary_editor", "sound");
        ADD_FAILURE();
    } catch (const EFileUploaderException& e) {
        EXPECT_TRUE(e.Message().contains("sound file picker options")) << e.Message().toStdString();
    }
}

} // namespace
