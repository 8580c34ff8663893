#include "moodlesitefixture.h"
#include "testutil.h"
#include "webtestutil.h"

#include "app/config/appconfigs.h"
#include "web/embeddedwb.h"
#include "web/moodleeditors.h"
#include "web/moodlepagetracker.h"
#include "web/moodlesiteconnect.h"
#include "web/mshtmlutils.h"
#include "web/webbrowsers.h"

#include <gtest/gtest.h>

namespace {

struct TFocusLog {
    QList<THtmlElement> Elements;
    QList<THtmlElement> Editors;
    QList<QObject*> Senders;
    void Attach(TMoodlePageTracker* t)
    {
        QObject::connect(t, &TMoodlePageTracker::OnElementFocus, [this](QObject* s, const THtmlElement& e) {
            Elements << e;
            Senders << s;
        });
        QObject::connect(t, &TMoodlePageTracker::OnWyswigEditorFocus, [this](QObject*, const THtmlElement& e) { Editors << e; });
    }
    void Clear() { Elements.clear(); Editors.clear(); Senders.clear(); }
};

class MoodlePageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Site = new TMoodleSite(); }
    static void TearDownTestSuite() { delete Site; Site = nullptr; }

    void SetUp() override
    {
        ASSERT_TRUE(Site->IsRunning());
        Browser = webtest::NewBrowser();
        Tracker = new TMoodlePageTracker(Browser.get());
        Tracker->SetActive(true);
        Log.Attach(Tracker);
    }

    void OpenCoursePage()
    {
        auto config = Site->NewSiteConfig();
        TMoodleSiteConnect::LoginToMoodle(Browser.get(), config.get());
        ASSERT_TRUE(webtest::Load(Browser.get(), Site->Url("/course/edit.php?id=2")));
        ASSERT_TRUE(testutil::waitUntil([&] {
            return Browser->ScriptValue("document.getElementById('id_description_editor_ifr').contentDocument.body.className")
                       .toString() == "mceContentBody";
        }));
    }

    void Focus(const QString& script, int expectedElementEvents)
    {
        Browser->ExecScript(script);
        EXPECT_TRUE(testutil::waitUntil([&] { return Log.Elements.size() >= expectedElementEvents; }, 5000)) << script.toStdString();
        // Anything late would show up here.
        testutil::waitUntil([] { return false; }, 150);
    }

    static TMoodleSite* Site;
    std::unique_ptr<TEmbeddedWB> Browser;
    TMoodlePageTracker* Tracker = nullptr;
    TFocusLog Log;
};
TMoodleSite* MoodlePageTest::Site = nullptr;

const char* const FocusSummary = "document.getElementById('id_summary_editor_ifr').contentDocument.body.focus();";
const char* const FocusDescription = "document.getElementById('id_description_editor_ifr').contentDocument.body.focus();";
const char* const FocusFullName = "document.getElementById('id_fullname').focus();";

TEST_F(MoodlePageTest, FocusIntoTheEditorFrameRaisesTheEditorEvent)
{
    OpenCoursePage();
    Focus(FocusSummary, 1);
    ASSERT_EQ(Log.Elements.size(), 1);
    ASSERT_EQ(Log.Editors.size(), 1);
    EXPECT_EQ(Log.Editors.first().Id(), "id_summary_editor_ifr");
    EXPECT_TRUE(Log.Editors.first().SameObject(Log.Elements.first()));
    EXPECT_EQ(Log.Senders.first(), Tracker);
    EXPECT_EQ(Tracker->CurrMoodleWyswigEditor().Id(), "id_summary_editor_ifr");

    // Straight from one editor into the other.
    Focus(FocusDescription, 2);
    ASSERT_EQ(Log.Editors.size(), 2);
    EXPECT_EQ(Log.Editors.last().Id(), "id_description_editor_ifr");

    // Into the page body: the element event only.
    Focus(FocusFullName, 3);
    ASSERT_EQ(Log.Elements.size(), 3);
    EXPECT_EQ(Log.Elements.last().Id(), "id_fullname");
    EXPECT_EQ(Log.Editors.size(), 2);
    EXPECT_FALSE(Tracker->CurrMoodleWyswigEditor());
    EXPECT_EQ(Tracker->CurrElement().Id(), "id_fullname");

    // Back into an editor raises it again.
    Focus(FocusSummary, 4);
    EXPECT_EQ(Log.Editors.size(), 3);

    // A navigation start forgets the element.
    Browser->Navigate(Site->Url("/my/"));
    EXPECT_TRUE(testutil::waitUntil([&] { return !Tracker->CurrElement(); }, 5000));
    EXPECT_EQ(Log.Elements.size(), 4);
}

TEST_F(MoodlePageTest, FocusMovingToNothingClearsTheCurrentElement)
{
    OpenCoursePage();
    Focus(FocusFullName, 1);
    ASSERT_TRUE(Tracker->CurrElement());
    Tracker->DocumentFocusIn(THtmlElement());
    ASSERT_EQ(Log.Elements.size(), 2);
    EXPECT_FALSE(Log.Elements.last());
    EXPECT_FALSE(Tracker->CurrElement());
    EXPECT_TRUE(Log.Editors.isEmpty());
}

TEST_F(MoodlePageTest, AnInactiveTrackerNeitherTracksNorDefinesHelpers)
{
    Tracker->SetActive(false);
    OpenCoursePage();
    Browser->ExecScript(FocusFullName);
    Browser->ExecScript(FocusSummary);
    testutil::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(Log.Elements.isEmpty());
    EXPECT_EQ(Browser->ScriptValue("typeof _detect").toString(), "undefined");
    EXPECT_FALSE(Tracker->CurrMoodleWyswigEditor());
}

TEST_F(MoodlePageTest, HelperFunctionsAreDefinedInEveryMoodlePage)
{
    OpenCoursePage();
    for (int round = 0; round < 2; ++round) {
        const QVariantMap instances = Browser->ScriptValue("M.core_filepicker.instances").toMap();
        ASSERT_FALSE(instances.isEmpty());
        EXPECT_TRUE(instances.contains(Browser->ScriptValue("_getFilePickerId()").toString()));
        EXPECT_EQ(Browser->ScriptValue("_getFilePicker().client_id").toString(),
                  Browser->ScriptValue("_getFilePickerId()").toString());
        EXPECT_EQ(Browser->ScriptValue("_detect('M.cfg.wwwroot')").toString(), Site->RootUrl());
        ASSERT_TRUE(TEmbeddedWBUtil::RefreshAndWait(Browser.get()));
    }
}

TEST_F(MoodlePageTest, EditorsAreKnownByTheirFamilysShape)
{
    // Each marked element is asked; near misses of every family are none.
    struct Case { const char* html; TMoodleEditorFamily family; } cases[] = {
        {"<table><tr><td class='mceIframeContainer mceFirst mceLast'><iframe data-t id='ok_ifr'></iframe></td></tr></table>",
         TMoodleEditorFamily::LegacyTinyMCE},
        {"<table><tr><td class='mceIframeContainer'><iframe data-t></iframe></td></tr></table>", TMoodleEditorFamily::None},
        {"<table><tr><td class='mceIframeContainer'><div data-t id='div_ifr'></div></td></tr></table>", TMoodleEditorFamily::None},
        {"<table><tr><td class='mceiframecontainer'><iframe data-t id='case_ifr'></iframe></td></tr></table>", TMoodleEditorFamily::None},
        {"<table><tr><td class='other'><iframe data-t id='other_ifr'></iframe></td></tr></table>", TMoodleEditorFamily::None},
        {"<div class='tox-sidebar-wrap'><div class='tox-edit-area'><iframe data-t id='t_ifr' class='tox-edit-area__iframe'></iframe></div></div>",
         TMoodleEditorFamily::TinyMCE},
        {"<div class='tox-edit-area'><iframe data-t class='tox-edit-area__iframe'></iframe></div>", TMoodleEditorFamily::None},
        {"<div class='tox-edit-area__wrap'><iframe data-t id='w_ifr'></iframe></div>", TMoodleEditorFamily::None},
        {"<div class='tox-edit-area'><div data-t id='d_ifr' contenteditable='true'></div></div>", TMoodleEditorFamily::None},
        {"<div class='editor_atto_content_wrap'><div data-t id='id_x_editoreditable' class='editor_atto_content form-control'"
         " contenteditable='true'><p>x</p></div></div>", TMoodleEditorFamily::Atto},
        {"<div data-t id='id_y_editoreditable' class='editor_atto_content'><p>not editable</p></div>", TMoodleEditorFamily::None},
        {"<div data-t id='id_z_editor' class='editor_atto_content' contenteditable='true'></div>", TMoodleEditorFamily::None},
        {"<div data-t id='id_w_editoreditable' class='other' contenteditable='true'></div>", TMoodleEditorFamily::None},
    };
    QString html;
    for (const Case& c : cases)
        html += QString::fromLatin1(c.html);
    ASSERT_TRUE(webtest::LoadHtml(Browser.get(), html));
    auto markedAt = [&](int i) {
        return THtmlElement(THtmlNode::FromScript(Browser.get(),
            Browser->DomCall(QStringLiteral("return d.reg(document.querySelectorAll('[data-t]')[a[0]]);"), {i})));
    };
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const THtmlElement e = markedAt(i);
        ASSERT_TRUE(e) << "case " << i;
        EXPECT_EQ(TMoodleEditors::FamilyOf(e), cases[i].family) << cases[i].html;
        EXPECT_EQ(TMoodlePageTracker::IsMoodleWyswigEditor(e), cases[i].family != TMoodleEditorFamily::None) << cases[i].html;
    }
    EXPECT_FALSE(TMoodlePageTracker::IsMoodleWyswigEditor(Browser->Document().Body()));
}

TEST_F(MoodlePageTest, FocusBetweenTwoElementsOfOneIdChangesNothing)
{
    ASSERT_TRUE(webtest::LoadHtml(Browser.get(),
        "<input id='dup'><input id='dup'><input><input>"));
    auto focusAt = [&](int i) {
        Browser->ExecScript(QStringLiteral("document.querySelectorAll('input')[%1].focus();").arg(i));
        testutil::waitUntil([] { return false; }, 200);
    };
    focusAt(0);
    focusAt(1);
    EXPECT_EQ(Log.Elements.size(), 1);
    // Elements without ids are told apart by identity.
    focusAt(2);
    focusAt(3);
    EXPECT_EQ(Log.Elements.size(), 3);
    focusAt(3);
    EXPECT_EQ(Log.Elements.size(), 3);
}

TEST_F(MoodlePageTest, DocumentChecksOnRealPages)
{
    struct Case { const char* body; bool empty; bool hasPictures; } cases[] = {
        {"", true, false},
        {" \t\r\n  <p>  </p>\n<br>", true, false},
        {"&nbsp;", false, false},
        {"<p>text</p>", false, false},
        {"<img src='x.png'>", false, true},
        {"<object></object>", false, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(webtest::LoadHtml(Browser.get(), QStringLiteral("<html><body>%1</body></html>").arg(c.body)));
        const THtmlDocument doc = Browser->Document();
        EXPECT_EQ(TMsHtmlUtil::IsDocumentEmpty(doc), c.empty) << c.body;
        EXPECT_EQ(TMsHtmlUtil::DoesDocumentHasExternalElems(doc), c.hasPictures) << c.body;
    }
    const THtmlDocument doc = Browser->Document();
    EXPECT_TRUE(TMsHtmlUtil::DoesDocumentHasTags(doc, {"p", "object"}));
    EXPECT_FALSE(TMsHtmlUtil::DoesDocumentHasTags(doc, {"img"}));
    EXPECT_FALSE(TMsHtmlUtil::DoesDocumentHasTags(doc, {}));

    ASSERT_TRUE(webtest::LoadHtml(Browser.get(), "<p id='a'></p><p id='a'></p><p></p><p></p>"));
    auto p = [&](int i) {
        return THtmlElement(THtmlNode::FromScript(Browser.get(),
            Browser->DomCall(QStringLiteral("return d.reg(document.querySelectorAll('p')[a[0]]);"), {i})));
    };
    EXPECT_TRUE(TMsHtmlUtil::SameElementId(p(0), p(1)));
    EXPECT_TRUE(TMsHtmlUtil::SameElementId(p(0), p(0)));
    EXPECT_FALSE(TMsHtmlUtil::SameElementId(p(2), p(3)));
    EXPECT_FALSE(TMsHtmlUtil::SameElementId(p(2), p(2)));
    EXPECT_FALSE(TMsHtmlUtil::SameElementId(p(0), THtmlElement()));
    EXPECT_FALSE(TMsHtmlUtil::SameElementId(THtmlElement(), THtmlElement()));
}

TEST_F(MoodlePageTest, TheEditorFrameShowsTheEditableDocument)
{
    OpenCoursePage();
    const THtmlElement frame = Browser->Document().GetElementById("id_summary_editor_ifr");
    const THtmlDocument doc = TMsHtmlUtil::GetFrameDocument(frame);
    EXPECT_EQ(doc.Body().ClassName(), "mceContentBody");
    EXPECT_FALSE(TMsHtmlUtil::IsDocumentEmpty(doc));
    doc.Body().SetInnerHTML("  ");
    EXPECT_TRUE(TMsHtmlUtil::IsDocumentEmpty(doc));
    EXPECT_THROW(TMsHtmlUtil::GetFrameDocument(frame.ParentElement()), EBrowserScriptError);
}

} // namespace
