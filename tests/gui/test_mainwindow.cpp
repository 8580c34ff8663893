// The main window with its tabs, menus, title and the automatic opening of the
// word editor, on the real engine against the local Moodle-like site.
#include "guitestenv.h"
#include "moodlesitefixture.h"
#include "testutil.h"

#include "app/shell/abouts.h"
#include "app/shell/mainform.h"
#include "app/shell/tabbedbrowseclientframe.h"
#include "app/shell/welcomeframe.h"
#include "utillib/globalutils.h"
#include "utillib/version.h"
#include "web/embeddedwb.h"

#include <QFile>
#include <QJsonObject>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

namespace {

const ::testing::Environment* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

QStringList MenuTexts(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

TConfigPreset* AddSite(const QString& name, const QString& title, const QString& root, bool autoLogin = false)
{
    TConfigPreset* p = AppConfig()->MoodleSysConfigPresets()->Add();
    p->SetName(name);
    p->SetTitle(title);
    auto* s = static_cast<TMoodleSysConfig*>(p->Config());
    s->SetRootUrl(root);
    s->SetAccountName(TMoodleSite::User);
    s->SetAccountPassword(TMoodleSite::Password);
    s->SetAutoLogin(autoLogin);
    return p;
}

TMoodleSysConfig* SiteOf(TConfigPreset* p)
{
    return static_cast<TMoodleSysConfig*>(p->Config());
}

bool PageComplete(TFrameMainBrowser* f)
{
    return f && f->Browser()->ReadyState() == TEmbeddedWB::rsComplete && !f->BrowserUrl().isEmpty();
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Site = new TMoodleSite(); }
    static void TearDownTestSuite()
    {
        delete Site;
        Site = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(Site->IsRunning());
        GuiEnvironment::ResetConfig();
    }
    void TearDown() override
    {
        Form.reset();
        GuiEnvironment::ResetConfig();
        Site->Configure(QJsonObject{{"editor", "legacy"}});
    }
    // The window as the program makes it, with a word editor that only counts.
    void MakeWindow(bool show = true)
    {
        TFormMain::TWindows windows;
        windows.WordEditor = [this](TEmbeddedWB*, const THtmlElement& editor, TMoodleSysConfig*) {
            EditorOpenedFor << editor.Id();
            return true;
        };
        Form = std::make_unique<TFormMain>(windows);
        Form->resize(1000, 700);
        if (show) {
            Form->show();
            ASSERT_TRUE(testutil::waitUntil([&] { return Form->FrameBrowseClient()->WelcomeTab() != nullptr; }));
        }
    }
    TFrameTabbedBrowseClient* Client() const { return Form->FrameBrowseClient(); }
    // Opens the site's course page in its tab, logged in, with the site
    // showing the editor family of c (legacy unless given).
    TFrameMainBrowser* OpenCourse(TConfigPreset* p, const TEditorPageCase& c = EditorPageCases().first())
    {
        Site->Configure(QJsonObject{{"editor", c.Switch}});
        Form->ConnectToMoodle(p->Name(), p->Title(), SiteOf(p));
        TFrameMainBrowser* f = Client()->GetBrowserFrameByName(p->Name());
        EXPECT_TRUE(f);
        if (!f)
            return nullptr;
        EXPECT_TRUE(testutil::waitUntil([&] { return PageComplete(f); }));
        f->Browser()->Navigate(Site->Url("/course/edit.php?id=2"));
        EXPECT_TRUE(testutil::waitUntil([&] {
            return PageComplete(f) && f->BrowserUrl().contains("/course/edit.php")
                && f->Browser()->ScriptValue(c.ReadyScript).toBool();
        }, 20000));
        // Page focus events need the page to have the keyboard focus, as
        // after a user's click into it.
        Form->activateWindow();
        f->Browser()->setFocus();
        testutil::waitUntil([&] { return f->Browser()->hasFocus() || (f->Browser()->focusProxy() && f->Browser()->focusProxy()->hasFocus()); }, 2000);
        return f;
    }

    static TMoodleSite* Site;
    std::unique_ptr<TFormMain> Form;
    QStringList EditorOpenedFor;
};
TMoodleSite* MainWindowTest::Site = nullptr;

} // namespace

TEST_F(MainWindowTest, SiteMenuAndTitleRules)
{
    MakeWindow(false);
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Vantoli"));
    EXPECT_EQ(MenuTexts(Form->PopupMenuConnectMoodle()), QStringList({"&Manage Moodle Sites..."}));

    AddSite("School", "School site", Site->RootUrl());
    AddSite("Uni", "University", Site->RootUrl());
    Form->RebuildSitesMenu();
    EXPECT_EQ(MenuTexts(Form->PopupMenuConnectMoodle()),
              QStringList({"School site", "University", "-", "&Manage Moodle Sites..."}));

    struct Case { QString title, window; };
    const Case cases[] = {
        {"", "Vantoli"},
        {"   \t ", "Vantoli"},
        {"Course", "Course - Vantoli"},
        {"  Course ", "  Course  - Vantoli"},
    };
    for (const Case& c : cases) {
        Form->UpdateMainTitle(c.title);
        EXPECT_EQ(Form->windowTitle(), c.window) << c.title.toStdString();
    }
}

TEST_F(MainWindowTest, TabsWelcomeTabAndBookmarksMenu)
{
    TConfigPreset* school = AddSite("School", "School site", Site->RootUrl());
    SiteOf(school)->Bookmarks()->AddBookmark("Course one", Site->Url("/course/edit.php?id=2"));
    MakeWindow();
    TFrameTabbedBrowseClient* client = Client();
    ASSERT_EQ(client->TabCount(), 1);
    EXPECT_EQ(client->CurrTabName(), TFrameTabbedBrowseClient::WelcomeTabName);

    // The welcome tab alone cannot be closed.
    ASSERT_TRUE(testutil::waitUntil([&] { return !client->CurrBrowserFrame()->Browser()->Busy(); }));
    client->CloseCurrentTab();
    EXPECT_EQ(client->TabCount(), 1);
    EXPECT_TRUE(client->PageControlClient()->isTabVisible(0));

    // On the welcome tab: add (disabled), manage, separator, no bookmarks.
    Form->ActionListMainUpdate();
    EXPECT_EQ(MenuTexts(Form->PopupMenuBookmarks()), QStringList({"&Add Bookmark...", "&Manage Bookmarks...", "-"}));
    EXPECT_FALSE(Form->ActionAddBookmark->isEnabled());

    // Picking the site twice gives one tab, and makes it the current preset.
    Form->PopupMenuConnectMoodle()->actions().first()->trigger();
    Form->PopupMenuConnectMoodle()->actions().first()->trigger();
    EXPECT_EQ(client->TabCount(), 2);
    EXPECT_EQ(AppConfig()->CurrMoodleSysConfig(), SiteOf(school));
    EXPECT_EQ(client->CurrTabName(), QStringLiteral("School"));
    EXPECT_EQ(MenuTexts(Form->PopupMenuBookmarks()), QStringList({"&Add Bookmark...", "&Manage Bookmarks...", "-", "Course one"}));
    TFrameMainBrowser* f = client->CurrBrowserFrame();
    ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(f); }));
    Form->ActionListMainUpdate();
    EXPECT_TRUE(Form->ActionAddBookmark->isEnabled());

    // The title follows the page.
    ASSERT_TRUE(testutil::waitUntil([&] { return Form->windowTitle() != "Vantoli"; }));
    EXPECT_TRUE(Form->windowTitle().endsWith(" - Vantoli"));

    // With a site tab open, closing the welcome tab hides it; closing the
    // last site tab brings it back.
    client->PageControlClient()->setCurrentWidget(client->WelcomeTab());
    client->CloseCurrentTab();
    EXPECT_EQ(client->TabCount(), 2);
    EXPECT_FALSE(client->PageControlClient()->isTabVisible(client->PageControlClient()->indexOf(client->WelcomeTab())));
    EXPECT_EQ(client->CurrTabName(), QStringLiteral("School"));
    client->CloseCurrentTab();
    EXPECT_EQ(client->TabCount(), 1);
    EXPECT_TRUE(client->PageControlClient()->isTabVisible(0));
    EXPECT_EQ(client->CurrTabName(), TFrameTabbedBrowseClient::WelcomeTabName);
}

TEST_F(MainWindowTest, ABadPresetNameIsRefusedWithAMessage)
{
    MakeWindow(false);
    TConfigPreset* p = AddSite("my site", "My site", Site->RootUrl());
    try {
        Form->ConnectToMoodle(p->Name(), p->Title(), SiteOf(p));
        FAIL() << "a name with a blank cannot name a tab";
    } catch (const EVantoliException& e) {
        EXPECT_TRUE(e.Message().contains("\"my site\"")) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("My site"));
    }
    EXPECT_EQ(Client()->TabCount(), 0);
}

TEST_F(MainWindowTest, LoginPostsTheAccountOnlyWithAutoLogin)
{
    TConfigPreset* plain = AddSite("Plain", "Plain", Site->RootUrl(), false);
    TConfigPreset* auto_ = AddSite("Auto", "Auto", Site->RootUrl(), true);
    MakeWindow();
    Site->ResetRequests();
    Form->ConnectToMoodle(plain->Name(), plain->Title(), SiteOf(plain));
    ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(Client()->GetBrowserFrameByName("Plain")); }));
    EXPECT_TRUE(Site->RequestsTo("/login/").isEmpty());

    Form->ConnectToMoodle(auto_->Name(), auto_->Title(), SiteOf(auto_));
    QList<TSiteRequest> posts;
    for (const TSiteRequest& r : Site->RequestsTo("/login/"))
        if (r.Method == "POST")
            posts << r;
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts[0].FieldNames(), QStringList({"username", "password"}));
    EXPECT_EQ(posts[0].Field("username"), TMoodleSite::User);
}

TEST_F(MainWindowTest, WordEditorOpensByContentAndSetting)
{
    TConfigPreset* school = AddSite("School", "School site", Site->RootUrl(), true);
    MakeWindow();
    for (const TEditorPageCase& c : EditorPageCases()) {
        SCOPED_TRACE(c.Switch.toStdString());
        TFrameMainBrowser* f = OpenCourse(school, c);
        ASSERT_TRUE(f);
        const QString setContent = c.ContentExpr + QStringLiteral(".innerHTML = %1;");
        EditorOpenedFor.clear();
        AppConfig()->GeneralConfig()->SetAutoOpenWordEditorOn(TGeneralConfig::owEmptyContent);
        // A real focus into the empty editor opens the word editor with the default setting.
        f->Browser()->ExecScript(setContent.arg("'<p><br></p>'"));
        // As a user would, click again when the first click went unnoticed
        // (a busy machine can deliver the window's focus late).
        for (int attempt = 0; attempt < 3 && EditorOpenedFor.isEmpty(); ++attempt) {
            Form->activateWindow();
            f->Browser()->setFocus();
            f->Browser()->ExecScript("document.getElementById('id_fullname').focus();");
            testutil::waitUntil([&] { return f->CurrElement() && f->CurrElement().Id() == "id_fullname"; }, 3000);
            f->Browser()->ExecScript(c.FocusScript);
            testutil::waitUntil([&] { return !EditorOpenedFor.isEmpty(); }, 5000);
        }
        ASSERT_FALSE(EditorOpenedFor.isEmpty());
        EXPECT_EQ(EditorOpenedFor.first(), c.FocusId);
        const THtmlElement editor = f->CurrMoodleWyswigEditor();
        ASSERT_TRUE(editor);

        // The table of settings and contents, on the editor's real content.
        // The focus event's handler is called here directly, so no test wait
        // sits under the page's own event delivery.
        const char* contents[] = {"'<p><br></p>'", "'<p>Some text</p>'", "'<p>A picture <img src=\"x.png\"></p>'"};
        // Rows: the settings in their order; columns: empty, text, pictures.
        const bool expected[4][3] = {
            {true, false, false}, // owEmptyContent
            {true, true, false},  // owTextOnlyContent
            {true, true, true},   // owAll
            {false, false, false} // owNever
        };
        for (int setting = 0; setting < 4; ++setting) {
            AppConfig()->GeneralConfig()->SetAutoOpenWordEditorOn(static_cast<TGeneralConfig::TAutoOpenWordOccasion>(setting));
            for (int content = 0; content < 3; ++content) {
                SCOPED_TRACE(testing::Message() << "setting " << setting << ", content " << content);
                EditorOpenedFor.clear();
                f->Browser()->ExecScript(setContent.arg(QString::fromLatin1(contents[content])));
                Form->BrowseClientWyswigEditorFocus(f, editor);
                EXPECT_EQ(EditorOpenedFor.size(), expected[setting][content] ? 1 : 0);
            }
        }
        // Ctrl+W opens it by hand while the editor has the focus.
        EditorOpenedFor.clear();
        Form->ActionListMainUpdate();
        EXPECT_TRUE(Form->ActionOpenWordEditor->isEnabled());
        Form->ActionOpenWordEditor->trigger();
        EXPECT_EQ(EditorOpenedFor.size(), 1);
    }
}

TEST_F(MainWindowTest, WelcomePageListsSitesAndOpensThem)
{
    AddSite("School", "School & <friends>", Site->RootUrl());
    MakeWindow();
    auto* welcome = qobject_cast<TFrameWelcome*>(Client()->CurrBrowserFrame());
    ASSERT_TRUE(welcome);
    EXPECT_FALSE(welcome->IsConnectedToNet()); // the maker's host is not reachable here
    ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(welcome); }));
    EXPECT_EQ(welcome->BrowserUrl(), TVantoliAbout::AppWelcomeUrlLocal());
    TEmbeddedWB* b = welcome->Browser();
    ASSERT_TRUE(testutil::waitUntil([&] {
        return b->ScriptValue("document.getElementById('moodlelink_School') ? "
                              "document.getElementById('moodlelink_School').textContent : ''")
                   .toString() == "School & <friends>";
    }));
    EXPECT_EQ(b->ScriptValue("document.getElementById('versionCurr').textContent").toString(),
              TFrameWelcome::MsgUsingLatest);
    EXPECT_EQ(b->ScriptValue("document.getElementById('versionBlock').style.display").toString(), "none");

    ClickInPage(b, "moodlelink_School");
    ASSERT_TRUE(testutil::waitUntil([&] { return Client()->TabCount() == 2; }));
    EXPECT_EQ(Client()->CurrTabName(), QStringLiteral("School"));
}

TEST_F(MainWindowTest, VersionMessages)
{
    MakeWindow();
    auto* welcome = qobject_cast<TFrameWelcome*>(Client()->CurrBrowserFrame());
    ASSERT_TRUE(welcome);
    TEmbeddedWB* b = welcome->Browser();
    ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(welcome); }));
    TVersion newer = AppVersion();
    newer.FMajor += 1;
    struct Case { QString latest, message, download; };
    const Case cases[] = {
        {newer.ToString(), TFrameWelcome::MsgUsingVersion.arg(AppVersion().ToString()), "inline"},
        {AppVersion().ToString(), TFrameWelcome::MsgUsingLatest, "none"},
        {"not a version", TFrameWelcome::MsgUsingLatest, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.latest.toStdString());
        b->ExecScript(QStringLiteral("document.getElementById('versionLastest').textContent = '%1';").arg(c.latest));
        welcome->ShowVersionInfo(b->Document());
        EXPECT_EQ(b->ScriptValue("document.getElementById('versionCurr').textContent").toString(), c.message);
        EXPECT_EQ(b->ScriptValue("document.getElementById('lastestDownload').style.display").toString(), c.download);
    }
    EXPECT_TRUE(TVantoliAbout::AppWelcomeUrl().endsWith("checkUpdate.php?res=VantoliUpdate&currVersion=" + AppVersion().ToString()));
}

TEST_F(MainWindowTest, PlacementSurvivesARestart)
{
    MakeWindow();
    // A size that fits the screen (offscreen: 800 x 600); larger ones are
    // brought down to it.
    Form->setGeometry(40, 50, 720, 510);
    QTest::qWait(50);
    Form.reset(); // stores the placement; the store is written at exit
    ASSERT_TRUE(DmGlobal()->AppXMLFileStorage()->Flush());
    DmGlobal()->AppXMLFileStorage()->Reload();
    EXPECT_EQ(DmGlobal()->AppXMLFileStorage()->ReadInteger("FormMain", "Width", 0), 720);
    MakeWindow();
    EXPECT_EQ(Form->width(), 720);
    EXPECT_EQ(Form->height(), 510);
}

TEST_F(MainWindowTest, F1OpensTheShippedGuideInATabOfItsOwn)
{
    MakeWindow();
    // The guide is a file beside the program, not an address on a server.
    const QUrl guide(TVantoliAbout::UserGuideUrl());
    ASSERT_TRUE(guide.isLocalFile()) << guide.toString().toStdString();
    ASSERT_TRUE(QFile::exists(guide.toLocalFile())) << guide.toLocalFile().toStdString();

    QTest::keyClick(Form.get(), Qt::Key_F1);
    TFrameTabbedBrowseClient* client = Client();
    ASSERT_EQ(client->TabCount(), 2);
    EXPECT_EQ(client->CurrTabName(), TFormMain::UserGuideTabName);
    EXPECT_EQ(client->PageControlClient()->tabText(client->PageControlClient()->currentIndex()), TFormMain::UserGuideTitle);
    TFrameMainBrowser* f = client->CurrBrowserFrame();
    ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(f); }));
    EXPECT_EQ(f->Mode(), TBrowserMode::bmNormal);
    EXPECT_EQ(f->MoodleConfig(), nullptr);
    EXPECT_EQ(f->BrowserTitle(), QStringLiteral("Vantoli User Guide"));
    // The page's style sheet beside the welcome page was found.
    EXPECT_NE(f->Browser()->ExecScript("getComputedStyle(document.querySelector('.banner')).backgroundImage").toString(), "none");

    // F1 again shows the same tab; the welcome tab is still there.
    client->ShowWelcomeTab();
    Form->ActionUserGuide->trigger();
    EXPECT_EQ(client->TabCount(), 2);
    EXPECT_EQ(client->CurrTabName(), TFormMain::UserGuideTabName);
    // Not a site tab: the presets changing leave it alone.
    Form->SitePresetsChanged();
    EXPECT_EQ(client->TabCount(), 2);
}
