#pragma once

#include "utillib/exceptions.h"
#include "web/htmldom.h"

#include <QByteArray>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <QWebEngineView>
#include <functional>
#include <memory>

class QWebEngineLoadingInfo;
class QWebEngineProfile;
class TEmbeddedWBPage;

// A script that failed in the page, a name the page does not define, or a
// page that did not answer. The message is the page's own error text.
class EBrowserScriptError : public Exception { using Exception::Exception; };

// The browser control every page of the program is shown in: a web view whose
// page answers new-window requests itself, runs our scripts in the page's
// main world, and reports the events callers wait for. All views made with
// the same profile share its cookies, so a hidden control posts with the
// session of the visible one.
//
// Script calls are synchronous: they pump the event loop until the page
// answers (the window stays live) and give up after ScriptTimeout.
class TEmbeddedWB : public QWebEngineView {
    Q_OBJECT
public:
    // Values of ReadyState, as the page waits count them.
    enum TReadyState { rsUninitialized = 0, rsLoading = 1, rsLoaded = 2, rsInteractive = 3, rsComplete = 4 };
    Q_ENUM(TReadyState)

    // Commands of CommandStateChange.
    static constexpr int CSC_UPDATECOMMANDS = -1;
    static constexpr int CSC_NAVIGATEFORWARD = 1;
    static constexpr int CSC_NAVIGATEBACK = 2;

    // profile: the engine profile, not owned; none means the engine's default
    // profile, which every control made without one shares.
    explicit TEmbeddedWB(QWidget* parent = nullptr, QWebEngineProfile* profile = nullptr);
    ~TEmbeddedWB() override;
    Q_DISABLE_COPY_MOVE(TEmbeddedWB)

    // Starts loading url; ReadyState falls to rsLoading before this returns.
    void Navigate(const QString& url);
    // A POST of postData with the header lines "Name: value" (CRLF separated).
    void Navigate(const QString& url, const QByteArray& postData, const QString& headers);
    int ReadyState() const { return FReadyState; }
    bool Busy() const { return FReadyState != rsComplete && FReadyState != rsUninitialized; }
    QString LocationURL() const;
    void Refresh();
    void GoBack();
    void GoForward();
    void Stop();

    // Pumps the event loop until ReadyState >= minState (waitForExact false)
    // or == minState. No time-out: a page load ends by itself or by Stop.
    // Answers false when the control was destroyed while waiting (then the
    // caller must not touch it) or the program is quitting.
    static bool WaitForReadyState(TEmbeddedWB* browser, int state, bool exact);

    // Runs the script text in the page's main world, where the page's globals
    // live; its var and function declarations become the page's globals.
    // Answers the script's completion value (invalid for undefined).
    QVariant ExecScript(const QString& script);
    // The value of a global name or member path of the page ("M.cfg.sesskey").
    // Raises EBrowserScriptError when it is not defined.
    QVariant ScriptValue(const QString& expression);

    THtmlDocument Document();

    // New-window requests (target="_blank", window.open) load in this control;
    // true unless set otherwise.
    bool OpenNewWindowsInPlace() const { return FOpenNewWindowsInPlace; }
    void SetOpenNewWindowsInPlace(bool v) { FOpenNewWindowsInPlace = v; }

    int ScriptTimeout() const { return FScriptTimeout; }
    void SetScriptTimeout(int ms) { FScriptTimeout = ms; }

    // Runs body as a function of d (our element registry) and a (the JSON of
    // args) in the isolated world our page scripts share; answers what the
    // body returns. The DOM handles are built on this.
    QVariant DomCall(const QString& body, const QVariantList& args);

Q_SIGNALS:
    void BeforeNavigate2(const QUrl& url);
    void NavigateComplete2(const QUrl& url);
    void DocumentComplete(const QUrl& url);
    void DownloadComplete();
    void ProgressChange(int progress, int progressMax);
    void CommandStateChange(int command, bool enable);
    void ReadyStateChanged(int state);
    // The page's renderer process ended (crashed or was killed); the page
    // shows nothing until the next navigation.
    void RendererTerminated();
    // The document event sink: focus entered an element (a frame element when
    // focus moved into a frame), or an element was clicked.
    void DocumentFocusIn(const THtmlElement& element);
    void DocumentClick(const THtmlElement& element);

private:
    friend class TEmbeddedWBPage;
    friend class TPageBridge;
    void SetReadyState(int state);
    bool StartNavigation(const QUrl& url);
    void PageLoadingChanged(const QWebEngineLoadingInfo& info);
    void PageUrlChanged(const QUrl& url);
    void PageEvent(const QString& kind, int handle, const QString& token);
    void RaisePageEvent(const QString& kind, int handle, const QString& token);
    void PageBeforeNavigate(const QUrl& url) { Later([this, url] { Q_EMIT BeforeNavigate2(url); }); }
    void Later(std::function<void()> work);
    void UpdateCommandStates();
    QVariant RunScript(quint32 worldId, const QString& source);

    TEmbeddedWBPage* FPage = nullptr; // owned through the Qt parent
    int FReadyState = rsUninitialized;
    bool FNavigatePending = false;
    bool FCanGoBack = false;
    bool FCanGoForward = false;
    int FScriptTimeout = 10000;
    bool FOpenNewWindowsInPlace = true;
    bool FRendererGone = false;
};
