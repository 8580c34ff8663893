// The program's entry: the global resources, then the main window, then the
// windows it opens, all living to the end of the run; destroyed last created
// first, so the configuration is saved while every window still exists.
#include "app/config/configsaveload.h"
#include "app/dialogs/configsettingform.h"
#include "app/dialogs/editbookmarkform.h"
#include "app/dialogs/managebookmarksform.h"
#include "app/shell/globaldm.h"
#include "app/shell/mainform.h"
#include "app/wordeditor/wordeditorform.h"
#include "office/officeclient.h"
#include "utillib/globalutils.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A termination request (logout, shutdown, kill) ends the event loop the way
// closing the window does, so the configuration is saved on the way out.
int gSignalPipe[2] = {-1, -1};

void OnTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[0], &c, 1);
}

void QuitOnTermination(QApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(gSignalPipe[1], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    // The web engine refuses to run as root with its sandbox on.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantoli"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vantoli"));
    QApplication::setApplicationVersion(QStringLiteral(VANTOLI_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vantoli"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/32/x-office-document.png")));
    QuitOnTermination(app);

    TVantoliConfigPersistent::RegisterSaveLoader();

    auto dmGlobal = std::make_unique<TDmGlobal>();
    std::unique_ptr<TFormConfigSetting> formConfigSetting;
    std::unique_ptr<TFormManageBookmarks> formManageBookmarks;
    std::unique_ptr<TFormEditBookmark> formEditBookmark;

    TFormMain::TWindows windows;
    windows.ConfigSetting = [&](int pageIndex) { ExecuteConfigSetting(*formConfigSetting, pageIndex); };
    windows.ManageBookmarks = [&](TMoodleSysConfigPresets* presets, TMoodleSysConfig* active) {
        if (!formManageBookmarks)
            formManageBookmarks = std::make_unique<TFormManageBookmarks>();
        formManageBookmarks->Execute(presets, active);
    };
    TFrameMainBrowser::EditBookmarkDialog() = [&](const QString& siteTitle, QString& title, QString& url) {
        if (!formEditBookmark)
            formEditBookmark = std::make_unique<TFormEditBookmark>();
        if (!formEditBookmark->Execute(siteTitle, title, url, TBookmarkModifyMode::bmAdd))
            return false;
        title = formEditBookmark->BookmarkTitle();
        url = formEditBookmark->BookmarkUrl();
        return true;
    };

    std::unique_ptr<TOfficeClient> officeClient;
    std::unique_ptr<TFormWordEditor> formWordEditor;
    windows.WordEditor = [&](TEmbeddedWB* browser, const THtmlElement& editorFrame, TMoodleSysConfig* site) {
        return formWordEditor->Execute(browser, editorFrame, site);
    };

    auto formMain = std::make_unique<TFormMain>(windows);
    // The word processor runs in a helper process of its own, private to the
    // user; it starts in the background so the first paint never waits for it.
    officeClient = std::make_unique<TOfficeClient>(AppTempPath(true) + QStringLiteral("/office"));
    formWordEditor = std::make_unique<TFormWordEditor>(*officeClient);
    formConfigSetting = std::make_unique<TFormConfigSetting>();
    formMain->show();
    QTimer::singleShot(0, officeClient.get(), [&] { officeClient->Start(); });
    const int result = app.exec();

    formEditBookmark.reset();
    formManageBookmarks.reset();
    formConfigSetting.reset();
    formWordEditor.reset();
    officeClient.reset();
    formMain.reset();
    dmGlobal.reset();
    return result;
}
