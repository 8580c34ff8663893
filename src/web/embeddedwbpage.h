#pragma once

#include <QObject>
#include <QWebEnginePage>

class QWebChannel;
class TEmbeddedWB;

// The object our page scripts call through the web channel.
class TPageBridge : public QObject {
    Q_OBJECT
public:
    explicit TPageBridge(TEmbeddedWB* browser, QObject* parent) : QObject(parent), FBrowser(browser) {}
    Q_INVOKABLE void pageEvent(const QString& kind, int handle, const QString& token);

private:
    TEmbeddedWB* FBrowser;
};

// The page of a TEmbeddedWB: it opens new windows in itself, tells the control
// before each main-frame navigation, and carries the web channel and the
// scripts of the isolated world.
class TEmbeddedWBPage : public QWebEnginePage {
    Q_OBJECT
public:
    TEmbeddedWBPage(QWebEngineProfile* profile, TEmbeddedWB* browser);

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    TEmbeddedWB* FBrowser;
    QWebChannel* FChannel; // child
};
