#include "web/embeddedwbpage.h"

#include "web/embeddedwb.h"
#include "web/webscripts.h"

#include <QFile>
#include <QWebChannel>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

void TPageBridge::pageEvent(const QString& kind, int handle, const QString& token)
{
    FBrowser->PageEvent(kind, handle, token);
}

namespace {
QWebEngineScript IsolatedScript(const QString& name, const QString& source)
{
    QWebEngineScript s;
    s.setName(name);
    s.setSourceCode(source);
    s.setWorldId(QWebEngineScript::ApplicationWorld);
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setRunsOnSubFrames(false);
    return s;
}

QString WebChannelClientScript()
{
    // Shipped inside the Qt WebEngine libraries.
    QFile f(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}
} // namespace

TEmbeddedWBPage::TEmbeddedWBPage(QWebEngineProfile* profile, TEmbeddedWB* browser)
    : QWebEnginePage(profile, browser), FBrowser(browser), FChannel(new QWebChannel(this))
{
    FChannel->registerObject(QStringLiteral("vantoliPage"), new TPageBridge(browser, FChannel));
    setWebChannel(FChannel, QWebEngineScript::ApplicationWorld);
    scripts().insert(IsolatedScript(QStringLiteral("vantoli-webchannel"), WebChannelClientScript()));
    scripts().insert(IsolatedScript(QStringLiteral("vantoli-bridge"), webscripts::PageBridge()));
}

QWebEnginePage* TEmbeddedWBPage::createWindow(WebWindowType)
{
    // Links and scripts that ask for a new window load in this same control,
    // unless the control's owner wants the engine's default (no new window).
    return FBrowser->OpenNewWindowsInPlace() ? this : nullptr;
}

bool TEmbeddedWBPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (isMainFrame)
        FBrowser->PageBeforeNavigate(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}
