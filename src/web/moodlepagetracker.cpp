#include "web/moodlepagetracker.h"

#include "web/embeddedwb.h"
#include "web/moodleeditors.h"
#include "web/mshtmlutils.h"

#include <QLoggingCategory>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

// Diagnostics of the focus tracking go to the debug output, never to the
// user; they are off unless the logging rules switch them on.
Q_LOGGING_CATEGORY(lcMoodleFocus, "vantoli.moodle.focus", QtWarningMsg)

namespace {
const QString HelperScriptName = QStringLiteral("vantoli-moodle-helper-%1");

QString Describe(const THtmlElement& e)
{
    return e.TagName() + QStringLiteral(" - ") + e.Id() + QStringLiteral(" - ")
        + QStringLiteral("%1").arg(static_cast<uint>(e.Handle()), 8, 16, QLatin1Char('0')).toUpper();
}
} // namespace

TMoodlePageTracker::TMoodlePageTracker(TEmbeddedWB* browser, QObject* parent)
    : QObject(parent ? parent : browser), FBrowser(browser), FPage(browser->page())
{
    connect(browser, &TEmbeddedWB::BeforeNavigate2, this, &TMoodlePageTracker::BeforeNavigate);
    connect(browser, &TEmbeddedWB::DownloadComplete, this, &TMoodlePageTracker::DownloadComplete);
    connect(browser, &TEmbeddedWB::DocumentFocusIn, this, [this](const THtmlElement& e) {
        if (!FSinkConnected)
            return;
        try {
            DocumentFocusIn(e);
        } catch (const EBrowserScriptError& error) {
            // The page went away under the event; the next page starts afresh.
            qCDebug(lcMoodleFocus).noquote() << "focus event dropped:" << error.Message();
        }
    });
}

TMoodlePageTracker::~TMoodlePageTracker()
{
    InstallPageHelperScripts(false);
}

void TMoodlePageTracker::SetActive(bool value)
{
    if (FActive == value)
        return;
    FActive = value;
    InstallPageHelperScripts(value);
    if (!value)
        FSinkConnected = false;
}

QStringList TMoodlePageTracker::PageHelperScripts()
{
    return {
        QStringLiteral("function _detect(avar){ return eval(avar); }"),
        QStringLiteral("function _getFilePickerId(){  var instances = M.core_filepicker.instances;  for (propname in instances)    return propname;}"),
        QStringLiteral("function _getFilePicker(){  var instances = M.core_filepicker.instances;  for (propname in instances)    return instances[propname];}"),
    };
}

void TMoodlePageTracker::InstallPageHelperScripts(bool install)
{
    // Defined as the document is created, in the page's own world, so they are
    // there after every navigation before any later script of ours runs.
    if (!FPage)
        return;
    QWebEngineScriptCollection& scripts = FPage->scripts();
    const QStringList sources = PageHelperScripts();
    for (int i = 0; i < sources.size(); ++i) {
        for (const QWebEngineScript& old : scripts.find(HelperScriptName.arg(i)))
            scripts.remove(old);
        if (!install)
            continue;
        QWebEngineScript s;
        s.setName(HelperScriptName.arg(i));
        s.setSourceCode(sources.at(i));
        s.setWorldId(QWebEngineScript::MainWorld);
        s.setInjectionPoint(QWebEngineScript::DocumentCreation);
        s.setRunsOnSubFrames(false);
        scripts.insert(s);
    }
}

void TMoodlePageTracker::BeforeNavigate()
{
    FCurrElement = THtmlElement();
    FSinkConnected = false;
}

void TMoodlePageTracker::DownloadComplete()
{
    if (FActive)
        FSinkConnected = true;
}

THtmlElement TMoodlePageTracker::CurrMoodleWyswigEditor() const
{
    if (FActive && FCurrElement && IsMoodleWyswigEditor(FCurrElement))
        return FCurrElement;
    return {};
}

bool TMoodlePageTracker::IsMoodleWyswigEditor(const THtmlElement& element)
{
    return TMoodleEditors::FamilyOf(element) != TMoodleEditorFamily::None;
}

void TMoodlePageTracker::DocumentFocusIn(const THtmlElement& newElement)
{
    if (lcMoodleFocus().isDebugEnabled()) try {
        QString line;
        if (newElement)
            line = QStringLiteral("NEW: ") + Describe(newElement);
        if (FCurrElement)
            line += QStringLiteral(" | OLD: ") + Describe(FCurrElement);
        qCDebug(lcMoodleFocus).noquote() << line;
    } catch (const EBrowserScriptError&) {
        // A diagnostic line is not worth a failure.
    }
    const bool changed = !newElement.SameObject(FCurrElement);
    qCDebug(lcMoodleFocus).noquote() << "Has new currElement:" << (changed ? "True" : "False");
    if (changed && !TMsHtmlUtil::SameElementId(FCurrElement, newElement)) {
        FCurrElement = newElement;
        DoElementFocus(FCurrElement);
    }
}

void TMoodlePageTracker::DoElementFocus(const THtmlElement& element)
{
    if (element && lcMoodleFocus().isDebugEnabled())
        qCDebug(lcMoodleFocus).noquote() << "focus on: " + element.TagName() + " - " + element.Id();
    else if (!element)
        qCDebug(lcMoodleFocus).noquote() << "focus on nil";
    Q_EMIT OnElementFocus(EventSender(), element);
    if (element && IsMoodleWyswigEditor(element)) {
        qCDebug(lcMoodleFocus).noquote() << "site editor:" << TMoodleEditors::FamilyName(TMoodleEditors::FamilyOf(element));
        Q_EMIT OnWyswigEditorFocus(EventSender(), element);
    }
}
