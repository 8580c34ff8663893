// The welcome page and the site tabs follow the site presets as the settings
// dialog leaves them: a new user's first minutes, end to end in the real
// window with the real settings dialog, on the real engine.
#include "guitestenv.h"
#include "moodlesitefixture.h"
#include "testutil.h"

#include "app/dialogs/configsettingform.h"
#include "app/shell/mainform.h"
#include "app/shell/tabbedbrowseclientframe.h"
#include "app/shell/welcomeframe.h"
#include "web/embeddedwb.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

const ::testing::Environment* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// Stands in for the desktop's browser: records what it was asked to open.
class TUrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public Q_SLOTS:
    void Open(const QUrl& url) { Opened << url; }
};

bool PageComplete(TFrameMainBrowser* f)
{
    return f && f->Browser()->ReadyState() == TEmbeddedWB::rsComplete && !f->BrowserUrl().isEmpty();
}

// Acts on the settings dialog once it is up, as a user would: answers the
// message boxes it opens with Yes, and rejects it when the steps never
// finish, so a fault fails the test instead of hanging it.
class SettingsDriver : public QObject {
public:
    explicit SettingsDriver(std::function<void(TFormConfigSetting*)> steps) : FSteps(std::move(steps))
    {
        FTimer.setInterval(20);
        connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
        FTimer.start();
        FStarted.start();
    }
    bool Ran = false;
    bool TimedOut = false;

private:
    void Poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (FStarted.elapsed() > 20000 && w) {
            TimedOut = true;
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                yes->click();
            else if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                ok->click();
            return;
        }
        auto* dialog = qobject_cast<TFormConfigSetting*>(w);
        if (Ran || !dialog || !dialog->isVisible())
            return;
        Ran = true;
        // The steps run from a timer of their own: this one keeps answering
        // the boxes they open.
        QPointer<TFormConfigSetting> target(dialog);
        QTimer::singleShot(0, this, [this, target] {
            if (target)
                FSteps(target);
        });
    }
    std::function<void(TFormConfigSetting*)> FSteps;
    QTimer FTimer;
    QElapsedTimer FStarted;
};

QWidget* MoodlePage(TFormConfigSetting* dialog)
{
    return dialog->findChild<QWidget*>(QStringLiteral("FrameEditMoodleSysPresets"));
}

template <class T>
T* In(QWidget* frame, const char* name)
{
    T* w = frame->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(w) << name;
    return w;
}

// Types into an edit and leaves it with Tab, which writes the value.
void Enter(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
}

void SelectRow(QWidget* frame, int row)
{
    auto* list = In<QListWidget>(frame, "ListBoxPresets");
    list->setCurrentRow(row);
}

class SiteListTest : public ::testing::Test {
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
        Settings = std::make_unique<TFormConfigSetting>();
        TFormMain::TWindows windows;
        windows.ConfigSetting = [this](int pageIndex) {
            ++SettingsShown;
            ExecuteConfigSetting(*Settings, pageIndex);
        };
        Form = std::make_unique<TFormMain>(windows);
        Form->resize(1000, 700);
        Form->show();
        ASSERT_TRUE(testutil::waitUntil([&] { return Form->FrameBrowseClient()->WelcomeTab() != nullptr; }));
        Welcome = qobject_cast<TFrameWelcome*>(Form->FrameBrowseClient()->CurrBrowserFrame());
        ASSERT_TRUE(Welcome);
        ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(Welcome); }));
    }
    void TearDown() override
    {
        Form.reset();
        Settings.reset();
        GuiEnvironment::ResetConfig();
    }
    // The welcome page's list as the user reads it: one line per entry.
    QStringList ListedSites()
    {
        const QVariant v = Welcome->Browser()->ExecScript(
            "(function(){ var l = document.getElementById('listMoodleSite'); if (!l) return '';"
            " var out = []; for (var c = l.firstElementChild; c; c = c.nextElementSibling)"
            " out.push(c.tagName + ':' + c.textContent.trim()); return out.join('\\n'); })()");
        return v.toString().isEmpty() ? QStringList() : v.toString().split('\n');
    }
    bool WaitListed(const QStringList& expected)
    {
        const bool ok = testutil::waitUntil([&] { return ListedSites() == expected; }, 10000);
        EXPECT_EQ(ListedSites(), expected);
        return ok;
    }

    static TMoodleSite* Site;
    std::unique_ptr<TFormConfigSetting> Settings;
    std::unique_ptr<TFormMain> Form;
    TFrameWelcome* Welcome = nullptr;
    int SettingsShown = 0;
};
TMoodleSite* SiteListTest::Site = nullptr;

} // namespace

TEST_F(SiteListTest, FirstRunAddRenameRemoveThroughTheSettings)
{
    // A first run says plainly that there is no site yet and how to add one.
    ASSERT_TRUE(WaitListed({"DT:" + TFrameWelcome::MsgNoSites, "DD:" + TFrameWelcome::MsgNoSitesHint}));
    EXPECT_TRUE(TFrameWelcome::MsgNoSitesHint.contains(QStringLiteral("Manage Moodle sites")));
    EXPECT_EQ(Welcome->Browser()->ExecScript("document.getElementById('moodleSiteManage').textContent").toString(),
              QStringLiteral("Manage Moodle sites\u2026"));

    // The location field is found by its name, as a screen reader finds it.
    QLineEdit* address = nullptr;
    for (QLineEdit* e : Welcome->findChildren<QLineEdit*>())
        if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(e); a && a->text(QAccessible::Name) == "Address")
            address = e;
    EXPECT_EQ(address, Welcome->EditUrl());

    // "Manage Moodle sites..." on the page opens the settings on the Moodle
    // page; the user adds a site and closes the dialog.
    int shownPage = -1;
    {
        SettingsDriver driver([&](TFormConfigSetting* d) {
            shownPage = d->PageControlMain()->currentIndex();
            QWidget* page = MoodlePage(d);
            ASSERT_TRUE(page);
            QTest::mouseClick(In<QPushButton>(page, "BtnAddPreset"), Qt::LeftButton);
            Enter(In<QLineEdit>(page, "EditPresetTitle"), "My school");
            Enter(In<QLineEdit>(page, "EditMoodleRootUrl"), Site->RootUrl());
            Enter(In<QLineEdit>(page, "EditMoodleAccount"), TMoodleSite::User);
            Enter(In<QLineEdit>(page, "EditMoodlePassword"), TMoodleSite::Password);
            QTest::mouseClick(d->BtnOk(), Qt::LeftButton);
        });
        ClickInPage(Welcome->Browser(), "moodleSiteManage");
        ASSERT_TRUE(testutil::waitUntil([&] { return driver.Ran && !QApplication::activeModalWidget(); }, 20000));
        EXPECT_FALSE(driver.TimedOut);
    }
    EXPECT_EQ(SettingsShown, 1);
    EXPECT_EQ(shownPage, 1);
    TMoodleSysConfigPresets* presets = AppConfig()->MoodleSysConfigPresets();
    ASSERT_EQ(presets->Count(), 1);
    const QString schoolName = presets->Presets(0)->Name();
    // Listed without a reload, still on the same document.
    Welcome->Browser()->ExecScript("window.__sameDocument = 1;");
    ASSERT_TRUE(WaitListed({"DT:My school(" + Site->RootUrl() + ")", "DD:"}));
    EXPECT_EQ(Welcome->Browser()->ExecScript("window.__sameDocument").toInt(), 1);
    EXPECT_EQ(Form->PopupMenuConnectMoodle()->actions().first()->text(), "My school");

    // A reload lists it too.
    Form->ActionListMainUpdate();
    Form->ActionBrowserReload->trigger();
    ASSERT_TRUE(testutil::waitUntil([&] {
        return PageComplete(Welcome) && !Welcome->Browser()->ExecScript("window.__sameDocument").isValid();
    }, 10000));
    ASSERT_TRUE(WaitListed({"DT:My school(" + Site->RootUrl() + ")", "DD:"}));

    // The listed site opens from the page.
    ClickInPage(Welcome->Browser(), "moodlelink_" + schoolName);
    ASSERT_TRUE(testutil::waitUntil([&] { return Form->FrameBrowseClient()->TabCount() == 2; }));

    // A second site; then the first renamed and the second removed, from the
    // Settings button with the site tab open.
    TConfigPreset* other = presets->Add();
    other->SetTitle("Other site");
    static_cast<TMoodleSysConfig*>(other->Config())->SetRootUrl(Site->Url("/other/"));
    Form->SitePresetsChanged();
    Form->FrameBrowseClient()->ShowWelcomeTab();
    ASSERT_TRUE(WaitListed({"DT:My school(" + Site->RootUrl() + ")", "DD:", "DT:Other site(" + Site->Url("/other/") + ")", "DD:"}));
    {
        SettingsDriver driver([&](TFormConfigSetting* d) {
            d->PageControlMain()->setCurrentIndex(1);
            QWidget* page = MoodlePage(d);
            ASSERT_TRUE(page);
            SelectRow(page, 0);
            Enter(In<QLineEdit>(page, "EditPresetTitle"), "Renamed school");
            SelectRow(page, 1);
            QTest::mouseClick(In<QPushButton>(page, "BtnRemovePreset"), Qt::LeftButton);
            QTest::mouseClick(d->BtnOk(), Qt::LeftButton);
        });
        Form->ActionSetConfig->trigger();
        EXPECT_TRUE(driver.Ran);
        EXPECT_FALSE(driver.TimedOut);
    }
    ASSERT_EQ(presets->Count(), 1);
    ASSERT_TRUE(WaitListed({"DT:Renamed school(" + Site->RootUrl() + ")", "DD:"}));
    const QStringList menu = [&] {
        QStringList out;
        for (QAction* a : Form->PopupMenuConnectMoodle()->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }();
    EXPECT_EQ(menu, QStringList({"Renamed school", "-", "&Manage Moodle Sites..."}));

    // All removed: the first-run text is back.
    {
        SettingsDriver driver([&](TFormConfigSetting* d) {
            QWidget* page = MoodlePage(d);
            ASSERT_TRUE(page);
            SelectRow(page, 0);
            QTest::mouseClick(In<QPushButton>(page, "BtnRemovePreset"), Qt::LeftButton);
            QTest::mouseClick(d->BtnOk(), Qt::LeftButton);
        });
        Form->ManageMoodleSites();
        EXPECT_TRUE(driver.Ran);
    }
    EXPECT_EQ(presets->Count(), 0);
    ASSERT_TRUE(WaitListed({"DT:" + TFrameWelcome::MsgNoSites, "DD:" + TFrameWelcome::MsgNoSitesHint}));
}

// The settings of a site belong to its preset: a tab open on a site that is
// removed never reads them again, and its tab closes once the presets are
// taken in; a renamed site's tab keeps its page and follows the new name.
TEST_F(SiteListTest, RemovedOrRenamedSiteWithItsTabOpen)
{
    TMoodleSysConfigPresets* presets = AppConfig()->MoodleSysConfigPresets();
    auto add = [&](const QString& name, const QString& title) {
        TConfigPreset* p = presets->Add();
        p->SetName(name);
        p->SetTitle(title);
        auto* s = static_cast<TMoodleSysConfig*>(p->Config());
        s->SetRootUrl(Site->RootUrl());
        s->Bookmarks()->AddBookmark(title + " course", Site->Url("/course/edit.php?id=2"));
        return p;
    };
    TConfigPreset* school = add("School", "School site");
    TConfigPreset* uni = add("Uni", "University");
    Form->SitePresetsChanged();
    TFrameTabbedBrowseClient* client = Form->FrameBrowseClient();
    Form->ConnectToMoodle(school->Name(), school->Title(), static_cast<TMoodleSysConfig*>(school->Config()));
    TFrameMainBrowser* schoolFrame = client->GetBrowserFrameByName("School");
    ASSERT_TRUE(schoolFrame);
    ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(schoolFrame); }));
    Form->ConnectToMoodle(uni->Name(), uni->Title(), static_cast<TMoodleSysConfig*>(uni->Config()));
    ASSERT_EQ(client->CurrTabName(), QStringLiteral("Uni"));
    auto bookmarks = [&] {
        QStringList out;
        for (QAction* a : Form->PopupMenuBookmarks()->actions())
            if (!a->isSeparator() && a != Form->ActionAddBookmark && a != Form->ActionManageBookmarks)
                out << a->text();
        return out;
    };

    // The preset goes while its tab is open (as the settings dialog deletes
    // it); back on that tab, its bookmarks menu, Ctrl+D and the word editor
    // find no settings and do nothing.
    presets->Delete(presets->IndexOf(school));
    client->PageControlClient()->setCurrentWidget(schoolFrame->parentWidget());
    EXPECT_EQ(client->CurrTabName(), QStringLiteral("School"));
    EXPECT_EQ(schoolFrame->MoodleConfig(), nullptr);
    EXPECT_TRUE(bookmarks().isEmpty());
    int bookmarkDialogs = 0;
    struct TRestore {
        ~TRestore() { TFrameMainBrowser::EditBookmarkDialog() = nullptr; }
    } restore;
    TFrameMainBrowser::EditBookmarkDialog() = [&](const QString&, QString&, QString&) { ++bookmarkDialogs; return true; };
    Form->ActionListMainUpdate();
    Form->ActionAddBookmark->trigger();
    schoolFrame->AddBookmark();
    EXPECT_EQ(bookmarkDialogs, 0);
    Form->ActionListMainUpdate();
    EXPECT_FALSE(Form->ActionOpenWordEditor->isEnabled());
    Form->ActionOpenWordEditor->trigger();

    // Once the presets are taken in, the tab is gone.
    Form->SitePresetsChanged();
    QTest::qWait(0);
    EXPECT_EQ(client->GetBrowserFrameByName("School"), nullptr);
    EXPECT_EQ(client->TabCount(), 2); // welcome and Uni

    // Renamed (name and title): the tab keeps its page and follows.
    TFrameMainBrowser* uniFrame = client->GetBrowserFrameByName("Uni");
    ASSERT_TRUE(uniFrame);
    ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(uniFrame); }));
    const QString shownUrl = uniFrame->BrowserUrl();
    uni->SetName("College");
    uni->SetTitle("College site");
    Form->SitePresetsChanged();
    EXPECT_EQ(client->GetBrowserFrameByName("Uni"), nullptr);
    ASSERT_EQ(client->GetBrowserFrameByName("College"), uniFrame);
    EXPECT_EQ(client->PageControlClient()->tabText(client->IndexOfFrameByName("College")), QStringLiteral("College site"));
    EXPECT_EQ(uniFrame->BrowserUrl(), shownUrl);
    client->PageControlClient()->setCurrentWidget(uniFrame->parentWidget());
    EXPECT_EQ(bookmarks(), QStringList({"University course"}));
    Form->ActionListMainUpdate();
    Form->ActionAddBookmark->trigger();
    EXPECT_EQ(bookmarkDialogs, 1);
    EXPECT_EQ(static_cast<TMoodleSysConfig*>(uni->Config())->Bookmarks()->Count(), 2);
    // Opening the site again reuses its tab under the new name.
    Form->ConnectToMoodle(uni->Name(), uni->Title(), static_cast<TMoodleSysConfig*>(uni->Config()));
    EXPECT_EQ(client->TabCount(), 2);
}

// The welcome tab keeps its page: the engine's context menu is not offered,
// and the clicks the program handles do not also follow the link.
TEST_F(SiteListTest, WelcomeTabKeepsItsPage)
{
    TConfigPreset* p = AppConfig()->MoodleSysConfigPresets()->Add();
    p->SetName("School");
    p->SetTitle("School site");
    static_cast<TMoodleSysConfig*>(p->Config())->SetRootUrl(Site->RootUrl());
    Form->SitePresetsChanged();
    TEmbeddedWB* b = Welcome->Browser();
    const QString welcomeUrl = Welcome->BrowserUrl();
    ASSERT_TRUE(WaitListed({"DT:School site(" + Site->RootUrl() + ")", "DD:"}));

    // No context menu, however it is asked for.
    EXPECT_EQ(b->contextMenuPolicy(), Qt::NoContextMenu);
    QWidget* target = b->focusProxy() ? b->focusProxy() : b;
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(20, 20), target->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(target, &menuEvent);
    QTest::mouseClick(target, Qt::RightButton, {}, QPoint(20, 20));
    QTest::qWait(300);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QMenu*>(w) && w->isVisible()) << "a context menu is shown";

    // Handled clicks are cancelled, even where the link leads somewhere.
    int settingsBefore = SettingsShown;
    b->ExecScript(QStringLiteral("document.getElementById('moodleSiteManage').href = '%1';"
                                 "document.getElementById('moodlelink_School').href = '%1';")
                      .arg(Site->Url("/my/")));
    {
        SettingsDriver driver([](TFormConfigSetting* d) { QTest::mouseClick(d->BtnOk(), Qt::LeftButton); });
        ClickInPage(b, "moodleSiteManage");
        ASSERT_TRUE(testutil::waitUntil([&] { return driver.Ran && !QApplication::activeModalWidget(); }, 20000));
    }
    EXPECT_EQ(SettingsShown, settingsBefore + 1);
    EXPECT_EQ(Welcome->BrowserUrl(), welcomeUrl);
    ASSERT_TRUE(WaitListed({"DT:School site(" + Site->RootUrl() + ")", "DD:"}));
    ClickInPage(b, "moodlelink_School");
    ASSERT_TRUE(testutil::waitUntil([&] { return Form->FrameBrowseClient()->TabCount() == 2; }));
    QTest::qWait(300);
    EXPECT_EQ(Welcome->BrowserUrl(), welcomeUrl);
    // Any other link goes on as usual.
    Form->FrameBrowseClient()->ShowWelcomeTab();
    b->ExecScript(QStringLiteral("var a = document.createElement('a'); a.id = 'plain'; a.href = '%1'; a.textContent = 'plain';"
                                 "document.body.appendChild(a); a.click();")
                      .arg(Site->Url("/my/")));
    ASSERT_TRUE(testutil::waitUntil([&] { return Welcome->BrowserUrl() == Site->Url("/my/") || Welcome->BrowserUrl().startsWith(Site->Url("/login/")); }, 10000));
}

// A link on the welcome page that asks for a new window goes to the
// desktop's browser; the welcome tab stays as it is.
TEST_F(SiteListTest, WelcomeNewWindowLinksGoToTheDesktop)
{
    TUrlRecorder desktop;
    QDesktopServices::setUrlHandler("http", &desktop, "Open");
    struct TRestore {
        ~TRestore() { QDesktopServices::unsetUrlHandler("http"); }
    } restore;
    TEmbeddedWB* b = Welcome->Browser();
    const QString welcomeUrl = Welcome->BrowserUrl();
    // A new-window link and window.open: the desktop's browser, not this tab.
    b->ExecScript(QStringLiteral("var a = document.createElement('a'); a.id = 'out'; a.target = '_blank';"
                                 "a.href = '%1'; a.textContent = 'out'; document.body.appendChild(a); a.click();")
                      .arg(Site->Url("/my/")));
    ASSERT_TRUE(testutil::waitUntil([&] { return !desktop.Opened.isEmpty(); }, 5000));
    EXPECT_EQ(desktop.Opened.first(), QUrl(Site->Url("/my/")));
    QTest::qWait(300);
    EXPECT_EQ(Welcome->BrowserUrl(), welcomeUrl);
    EXPECT_EQ(Form->FrameBrowseClient()->TabCount(), 1);

}

#include "test_sitelist.moc"
