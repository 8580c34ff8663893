// The program's entry: the global resources, then the main window, then the
// windows it opens, all living to the end of the run; destroyed last created
// first, so the configuration is saved while every window still exists.
#include "app/config/configsaveload.h"
#include "app/shell/globaldm.h"
#include "app/shell/mainform.h"

#include <QApplication>
#include <memory>
#include <unistd.h>

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

    TVantoliConfigPersistent::RegisterSaveLoader();

    auto dmGlobal = std::make_unique<TDmGlobal>();
    TFormMain::TWindows windows;
    auto formMain = std::make_unique<TFormMain>(windows);
    formMain->show();
    const int result = app.exec();

    formMain.reset();
    dmGlobal.reset();
    return result;
}
