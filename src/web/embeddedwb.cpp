#include "web/embeddedwb.h"

#include "web/embeddedwbpage.h"
#include "web/webscripts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QJsonDocument>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>

Q_LOGGING_CATEGORY(lcBrowserScript, "vantoli.browser.script")

TEmbeddedWB::TEmbeddedWB(QWidget* parent, QWebEngineProfile* profile)
    : QWebEngineView(parent)
{
    FPage = new TEmbeddedWBPage(profile ? profile : QWebEngineProfile::defaultProfile(), this);
    setPage(FPage);
    // The engine reports from inside its own tasks, where a nested event loop
    // cannot run the engine's work: a handler that ran a script there would
    // wait for ever. Every report is therefore handled from our own event.
    connect(FPage, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        Later([this, info] { PageLoadingChanged(info); });
    });
    connect(FPage, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) { Later([this, url] { PageUrlChanged(url); }); });
    connect(FPage, &QWebEnginePage::loadProgress, this, [this](int p) { Later([this, p] { Q_EMIT ProgressChange(p, 100); }); });
    // A renderer that died answers nothing more: waits for its scripts and
    // loads must end now rather than at their time-outs (or never).
    connect(FPage, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                qCWarning(lcBrowserScript) << "the page's renderer ended, status" << status << "exit code" << exitCode;
                FRendererGone = true;
                Q_EMIT RendererTerminated();
                Later([this] {
                    FNavigatePending = false;
                    SetReadyState(rsComplete);
                });
            });
}

TEmbeddedWB::~TEmbeddedWB()
{
    // The page outlives this body (it is a child); nothing it reports may
    // reach a half-destroyed control.
    FPage->disconnect(this);
}

void TEmbeddedWB::Later(std::function<void()> work)
{
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void TEmbeddedWB::SetReadyState(int state)
{
    if (FReadyState == state)
        return;
    FReadyState = state;
    Q_EMIT ReadyStateChanged(state);
}

bool TEmbeddedWB::StartNavigation(const QUrl& url)
{
    FNavigatePending = true;
    SetReadyState(rsLoading);
    if (url.isValid() && !url.isRelative())
        return true;
    // The engine starts no load for such an address, so nothing would end
    // the wait of a caller: the navigation ends here, having shown nothing.
    Later([this] {
        if (!FNavigatePending)
            return;
        FNavigatePending = false;
        SetReadyState(rsComplete);
        Q_EMIT DownloadComplete();
        Q_EMIT DocumentComplete(QUrl());
    });
    return false;
}

void TEmbeddedWB::Navigate(const QString& url)
{
    const QUrl u(url);
    if (StartNavigation(u))
        FPage->load(u);
}

void TEmbeddedWB::Navigate(const QString& url, const QByteArray& postData, const QString& headers)
{
    QWebEngineHttpRequest request(QUrl(url), QWebEngineHttpRequest::Post);
    // (an address the engine cannot load ends at once, see StartNavigation)
    for (const QString& line : headers.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        request.setHeader(line.left(colon).trimmed().toLatin1(), line.mid(colon + 1).trimmed().toUtf8());
    }
    request.setPostData(postData);
    if (StartNavigation(request.url()))
        FPage->load(request);
}

QString TEmbeddedWB::LocationURL() const
{
    const QUrl u = FPage->url();
    return u.isEmpty() ? QString() : u.toString();
}

void TEmbeddedWB::Refresh()
{
    // Nothing shown, nothing to reload: the refresh ends at once.
    if (StartNavigation(FPage->url()))
        FPage->triggerAction(QWebEnginePage::Reload);
}

void TEmbeddedWB::GoBack() { FPage->triggerAction(QWebEnginePage::Back); }
void TEmbeddedWB::GoForward() { FPage->triggerAction(QWebEnginePage::Forward); }

void TEmbeddedWB::Stop()
{
    FPage->triggerAction(QWebEnginePage::Stop);
    // A stop before the engine started the load ends the wait as well.
    if (FNavigatePending) {
        FNavigatePending = false;
        SetReadyState(rsComplete);
    }
}

void TEmbeddedWB::PageLoadingChanged(const QWebEngineLoadingInfo& info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        FNavigatePending = false;
        FRendererGone = false;
        if (FReadyState == rsComplete || FReadyState == rsUninitialized)
            SetReadyState(rsLoading);
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        // The end of a load that a newer Navigate replaced is not the end of
        // the newer one.
        if (FNavigatePending)
            break;
        SetReadyState(rsComplete);
        UpdateCommandStates();
        Q_EMIT DownloadComplete();
        Q_EMIT DocumentComplete(info.url());
        break;
    }
}

void TEmbeddedWB::PageUrlChanged(const QUrl& url)
{
    if (FReadyState == rsLoading && !FNavigatePending)
        SetReadyState(rsInteractive);
    UpdateCommandStates();
    Q_EMIT NavigateComplete2(url);
}

void TEmbeddedWB::UpdateCommandStates()
{
    const bool back = FPage->history()->canGoBack();
    const bool forward = FPage->history()->canGoForward();
    if (back != FCanGoBack) {
        FCanGoBack = back;
        Q_EMIT CommandStateChange(CSC_NAVIGATEBACK, back);
    }
    if (forward != FCanGoForward) {
        FCanGoForward = forward;
        Q_EMIT CommandStateChange(CSC_NAVIGATEFORWARD, forward);
    }
    Q_EMIT CommandStateChange(CSC_UPDATECOMMANDS, !FPage->url().isEmpty());
}

void TEmbeddedWB::PageEvent(const QString& kind, int handle, const QString& token)
{
    Later([this, kind, handle, token] { RaisePageEvent(kind, handle, token); });
}

void TEmbeddedWB::RaisePageEvent(const QString& kind, int handle, const QString& token)
{
    THtmlNode node = THtmlNode::FromScript(this, QVariantMap{{QStringLiteral("h"), handle}, {QStringLiteral("t"), token}});
    if (kind == QLatin1String("focusin"))
        Q_EMIT DocumentFocusIn(THtmlElement(node));
    else if (kind == QLatin1String("click"))
        Q_EMIT DocumentClick(THtmlElement(node));
}

bool TEmbeddedWB::WaitForReadyState(TEmbeddedWB* browser, int state, bool exact)
{
    QPointer<TEmbeddedWB> guard(browser);
    auto reached = [&] {
        return exact ? guard->ReadyState() == state : guard->ReadyState() >= state;
    };
    while (guard && !reached()) {
        QEventLoop loop;
        connect(guard.data(), &TEmbeddedWB::ReadyStateChanged, &loop, &QEventLoop::quit);
        connect(guard.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
        // Once the program is quitting every new loop returns -1 at once:
        // waiting on would spin and keep the program from ending.
        if (loop.exec() == -1)
            return false;
    }
    return !guard.isNull();
}

namespace {
struct TScriptWait {
    bool Done = false;
    QVariant Value;
    QEventLoop* Loop = nullptr;
};
} // namespace

QVariant TEmbeddedWB::RunScript(quint32 worldId, const QString& source)
{
    auto wait = std::make_shared<TScriptWait>();
    FPage->runJavaScript(source, worldId, [wait](const QVariant& v) {
        wait->Done = true;
        wait->Value = v;
        if (wait->Loop)
            wait->Loop->quit();
    });
    if (!wait->Done) {
        QPointer<TEmbeddedWB> guard(this);
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
        connect(this, &TEmbeddedWB::RendererTerminated, &loop, &QEventLoop::quit);
        wait->Loop = &loop;
        timer.start(FScriptTimeout);
        const bool quitting = loop.exec() == -1;
        wait->Loop = nullptr;
        if (!guard)
            throw EBrowserScriptError(QStringLiteral("The browser was closed while a script ran"));
        if (quitting && !wait->Done)
            throw EBrowserScriptError(QStringLiteral("The program is closing"));
    }
    if (!wait->Done && FRendererGone)
        throw EBrowserScriptError(QStringLiteral("The page's renderer stopped before the script answered"));
    if (!wait->Done) {
        // Which script it was helps whoever reads the log; the user gets the plain message.
        qCWarning(lcBrowserScript).noquote() << "no answer in" << FScriptTimeout << "ms from" << LocationURL() << "to:"
                                             << source.left(160);
        throw EBrowserScriptError(QStringLiteral("The page did not answer the script in time"));
    }
    const QVariantMap answer = wait->Value.toMap();
    if (answer.isEmpty())
        throw EBrowserScriptError(QStringLiteral("The script did not run in the page"));
    if (answer.value(QStringLiteral("ok")).toInt() != 1)
        throw EBrowserScriptError(answer.value(QStringLiteral("err")).toString());
    return answer.value(QStringLiteral("v"));
}

QVariant TEmbeddedWB::ExecScript(const QString& script)
{
    return RunScript(QWebEngineScript::MainWorld, webscripts::WrapGlobalEval(script));
}

QVariant TEmbeddedWB::ScriptValue(const QString& expression)
{
    const QString probe = QStringLiteral("(function () { var v = (%1);"
                                         " if (v === undefined) throw new Error(%2); return v; })()")
                              .arg(expression, webscripts::Literal(QStringLiteral("'%1' is undefined").arg(expression)));
    return RunScript(QWebEngineScript::MainWorld, webscripts::WrapGlobalEval(probe));
}

QVariant TEmbeddedWB::DomCall(const QString& body, const QVariantList& args)
{
    const QString json = QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(args)).toJson(QJsonDocument::Compact));
    return RunScript(QWebEngineScript::ApplicationWorld, webscripts::WrapDomCall(body, json));
}

THtmlDocument TEmbeddedWB::Document()
{
    return THtmlDocument(THtmlNode::FromScript(this, DomCall(QStringLiteral("return d.reg(document);"), {})));
}
