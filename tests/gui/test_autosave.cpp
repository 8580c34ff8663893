// Changes reach the disk soon, not only at exit: what a crash or a kill -9
// would leave behind is read from the files while the window is still open.
#include "guitestenv.h"
#include "moodlesitefixture.h"
#include "testutil.h"

#include "app/shell/mainbrowserframe.h"
#include "app/shell/mainform.h"
#include "app/shell/tabbedbrowseclientframe.h"
#include "web/embeddedwb.h"

#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>

namespace {

const ::testing::Environment* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

QByteArray MainFile()
{
    return testutil::readFile(TVantoliConfigPersistent::UserConfigPath() + TVantoliConfigPersistent::MainConfigFileName);
}

class AutoSaveTest : public ::testing::Test {
protected:
    void SetUp() override { GuiEnvironment::ResetConfig(); }
    void TearDown() override
    {
        Form.reset();
        TFrameMainBrowser::EditBookmarkDialog() = {};
        GuiEnvironment::ResetConfig();
    }
    void MakeWindow(TFormMain::TWindows windows = {})
    {
        Form = std::make_unique<TFormMain>(std::move(windows));
        Form->resize(900, 600);
        Form->show();
        ASSERT_TRUE(testutil::waitUntil([&] { return Form->FrameBrowseClient()->WelcomeTab() != nullptr; }));
    }
    std::unique_ptr<TFormMain> Form;
};

TEST_F(AutoSaveTest, ABookmarkAddedWithCtrlDIsOnDiskWhenTheDialogCloses)
{
    TMoodleSite site;
    ASSERT_TRUE(site.IsRunning());
    TConfigPreset* p = AppConfig()->MoodleSysConfigPresets()->Add();
    p->SetName(QStringLiteral("School"));
    p->SetTitle(QStringLiteral("School site"));
    auto* config = static_cast<TMoodleSysConfig*>(p->Config());
    config->SetRootUrl(site.RootUrl());
    TFrameMainBrowser::EditBookmarkDialog() = [](const QString&, QString& title, QString&) {
        title = QStringLiteral("Kept through a crash");
        return true;
    };
    MakeWindow();
    Form->ConnectToMoodle(p->Name(), p->Title(), config);
    TFrameMainBrowser* f = Form->FrameBrowseClient()->GetBrowserFrameByName(p->Name());
    ASSERT_TRUE(f);
    ASSERT_TRUE(testutil::waitUntil([&] {
        return f->Browser()->ReadyState() == TEmbeddedWB::rsComplete && !f->BrowserUrl().isEmpty();
    }, 20000));
    Form->ActionListMainUpdate();
    ASSERT_TRUE(Form->ActionAddBookmark->isEnabled());
    Form->ActionAddBookmark->trigger();
    ASSERT_EQ(config->Bookmarks()->Count(), 1);
    EXPECT_TRUE(MainFile().contains("Kept through a crash"));
}

TEST_F(AutoSaveTest, AnEditInAnOpenSettingsDialogIsOnDiskWithinASecondOrTwo)
{
    bool savedWhileOpen = false;
    TFormMain::TWindows windows;
    windows.ConfigSetting = [&](int) {
        // A stand-in for the settings dialog: it writes into the live
        // configuration when its field loses the focus, as the real one does.
        QDialog dialog;
        auto* edit = new QLineEdit(&dialog);
        dialog.show();
        AppConfig()->MoodleSysConfigPresets()->Add()->SetTitle(QStringLiteral("Typed in the dialog"));
        QFocusEvent focusOut(QEvent::FocusOut);
        QApplication::sendEvent(edit, &focusOut);
        savedWhileOpen = testutil::waitUntil([] { return MainFile().contains("Typed in the dialog"); }, 5000);
    };
    MakeWindow(std::move(windows));
    EXPECT_FALSE(MainFile().contains("Typed in the dialog"));
    Form->ActionSetConfig->trigger();
    EXPECT_TRUE(savedWhileOpen);
}

TEST_F(AutoSaveTest, AMovedWindowsPlacementIsOnDiskSoon)
{
    TXmlPlacementStore* store = DmGlobal()->AppXMLFileStorage();
    MakeWindow();
    ASSERT_EQ(store->FileName(), TVantoliConfigPersistent::FormsConfigFile());
    Form->setGeometry(40, 50, 820, 610);
    EXPECT_TRUE(testutil::waitUntil([&] {
        const QByteArray forms = testutil::readFile(store->FileName());
        return forms.contains("<Width>820</Width>") && forms.contains("<Height>610</Height>");
    }, 5000)) << testutil::readFile(store->FileName()).constData();
}

TEST_F(AutoSaveTest, ADamagedPlacementStillPutsTheWindowOnTheScreen)
{
    testutil::writeFile(TVantoliConfigPersistent::FormsConfigFile(),
                        "<Configuration><FormMain><State>Normal</State><Left>2147483647</Left><Top>-2147483648</Top>"
                        "<Width>2147483647</Width><Height>2147483647</Height></FormMain></Configuration>");
    MakeWindow();
    const QRect screen = QGuiApplication::primaryScreen()->availableVirtualGeometry();
    EXPECT_TRUE(Form->geometry().intersects(screen)) << Form->geometry().x() << "," << Form->geometry().y();
    EXPECT_LE(Form->width(), screen.width());
    EXPECT_LE(Form->height(), screen.height());
}

} // namespace
