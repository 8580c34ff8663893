#include "app/shell/welcomeframe.h"

#include "app/config/appconfigs.h"
#include "app/shell/abouts.h"
#include "utillib/netcheckers.h"
#include "utillib/version.h"
#include "web/embeddedwb.h"

#include <QDesktopServices>
#include <QWebEngineNewWindowRequest>

TFrameWelcome::TFrameWelcome(QWidget* parent, IWelcomeHost* host) : TFrameMainBrowser(parent), FHost(host)
{
    // The engine's menu would offer "View page source" and the like, which
    // replace the welcome page.
    Browser()->setContextMenuPolicy(Qt::NoContextMenu);
    // A link that asks for a new window is not ours to show here: web
    // addresses go to the desktop's browser, anything else is dropped.
    connect(Browser()->page(), &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        const QUrl url = request.requestedUrl();
        if (Mode() == TBrowserMode::bmWelcome && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")))
            QDesktopServices::openUrl(url);
    });
    connect(Browser(), &TEmbeddedWB::DocumentClick, this, [this](const THtmlElement& e) {
        try {
            PageClick(e);
        } catch (const std::exception&) {
            // The page changed under the click; nothing to do.
        }
    });
}

void TFrameWelcome::Init()
{
    TFrameMainBrowser::Init();
    SetMode(TBrowserMode::bmWelcome);
    TNetPingConnectionChecker checker(TNetPingConnectionChecker::pmSimple, 500);
    FIsConnectedToNet = checker.IsConnectedTo(TVantoliAbout::UpdateCheckHost(), 4);
    NavigateWait(FIsConnectedToNet ? TVantoliAbout::AppWelcomeUrl() : TVantoliAbout::AppWelcomeUrlLocal());
}

void TFrameWelcome::ModeChanged()
{
    TFrameMainBrowser::ModeChanged();
    // New-window requests get the engine's default: no page of ours takes
    // them, so they reach newWindowRequested.
    Browser()->SetOpenNewWindowsInPlace(Mode() != TBrowserMode::bmWelcome);
}

TMoodleSysConfigPresets* TFrameWelcome::MoodlePresets() const
{
    return AppConfig()->MoodleSysConfigPresets();
}

void TFrameWelcome::BrowserDocumentComplete()
{
    TFrameMainBrowser::BrowserDocumentComplete();
    RefreshWelcomePage();
}

void TFrameWelcome::BrowserDownloadComplete()
{
    TFrameMainBrowser::BrowserDownloadComplete();
    RefreshWelcomePage();
}

void TFrameWelcome::RefreshWelcomePage()
{
    try {
        THtmlDocument doc = Browser()->Document();
        if (!doc)
            return;
        FillSiteList(doc);
        ShowVersionInfo(doc);
        CancelHandledClicks();
    } catch (const std::exception&) {
        // A page that went away or is not ours: nothing to fill.
    }
}

void TFrameWelcome::FillSiteList(const THtmlDocument& doc)
{
    THtmlElement list = doc.GetElementById(QStringLiteral("listMoodleSite"));
    if (!list)
        return;
    list.SetInnerHTML(QString());
    TMoodleSysConfigPresets* presets = MoodlePresets();
    if (presets->Count() == 0) {
        // A first run: say so, and where sites are added.
        THtmlElement dt = doc.CreateElement(QStringLiteral("dt"));
        dt.SetAttribute(QStringLiteral("class"), QStringLiteral("empty"));
        dt.SetAttribute(QStringLiteral("id"), QStringLiteral("noMoodleSite"));
        dt.SetInnerHTML(MsgNoSites.toHtmlEscaped());
        list.AppendChild(dt);
        THtmlElement dd = doc.CreateElement(QStringLiteral("dd"));
        dd.SetAttribute(QStringLiteral("class"), QStringLiteral("empty"));
        dd.SetInnerHTML(MsgNoSitesHint.toHtmlEscaped());
        list.AppendChild(dd);
        return;
    }
    for (int i = 0; i < presets->Count(); ++i) {
        TConfigPreset* p = presets->Presets(i);
        auto* site = static_cast<TMoodleSysConfig*>(p->Config());
        THtmlElement dt = doc.CreateElement(QStringLiteral("dt"));
        THtmlElement a = doc.CreateElement(QStringLiteral("a"));
        a.SetAttribute(QStringLiteral("href"), QStringLiteral("#"));
        a.SetAttribute(QStringLiteral("id"), QStringLiteral("moodlelink_") + p->Name());
        // Titles and descriptions are the user's plain text: shown as text,
        // so "&" or "<" in them can never turn into markup.
        a.SetInnerHTML(p->Title().toHtmlEscaped());
        dt.AppendChild(a);
        THtmlElement span = doc.CreateElement(QStringLiteral("span"));
        span.SetInnerHTML(QStringLiteral("(%1)").arg(site ? site->RootUrl().toHtmlEscaped() : QString()));
        dt.AppendChild(span);
        list.AppendChild(dt);
        THtmlElement dd = doc.CreateElement(QStringLiteral("dd"));
        dd.SetInnerHTML(p->Description().toHtmlEscaped());
        list.AppendChild(dd);
    }
}

void TFrameWelcome::ShowVersionInfo(const THtmlDocument& doc)
{
    TVersion latest = TVersion::FromString(QStringLiteral("0.0.0.0"));
    try {
        if (THtmlElement e = doc.GetElementById(QStringLiteral("versionLastest")))
            latest.Parse(e.InnerHTML());
    } catch (const std::exception&) {
    }
    if (THtmlElement block = doc.GetElementById(QStringLiteral("versionBlock")); block && FIsConnectedToNet)
        block.SetStyleDisplay(QStringLiteral("block"));
    if (THtmlElement curr = doc.GetElementById(QStringLiteral("versionCurr"))) {
        THtmlElement download = doc.GetElementById(QStringLiteral("lastestDownload"));
        if (AppVersion() < latest) {
            curr.SetInnerHTML(MsgUsingVersion.arg(AppVersion().ToString()));
            if (download)
                download.SetStyleDisplay(QStringLiteral("inline"));
        } else {
            curr.SetInnerHTML(MsgUsingLatest);
            if (download)
                download.SetStyleDisplay(QStringLiteral("none"));
        }
    }
}

void TFrameWelcome::CancelHandledClicks()
{
    // The same ids as PageClick; installed once per document.
    Browser()->ExecScript(QStringLiteral(
        "if (!window.__vantoliWelcomeClicks) {"
        "  window.__vantoliWelcomeClicks = true;"
        "  document.addEventListener('click', function (e) {"
        "    var id = e.target && e.target.id ? String(e.target.id) : '';"
        "    if (/^moodleSiteManage$/i.test(id) || /^moodlelink_/i.test(id)) e.preventDefault();"
        "  }, true);"
        "}"));
}

bool TFrameWelcome::PageClick(const THtmlElement& source)
{
    if (!source)
        return true;
    const QString id = source.Id();
    if (id.compare(QLatin1String("moodleSiteManage"), Qt::CaseInsensitive) == 0) {
        if (FHost)
            FHost->ManageMoodleSites();
        return false;
    }
    if (id.startsWith(QLatin1String("moodlelink_"), Qt::CaseInsensitive)) {
        const QString name = id.mid(11);
        if (TConfigPreset* p = MoodlePresets()->FindItemWithName(name); p && FHost)
            FHost->ConnectToMoodle(p->Name(), p->Title(), static_cast<TMoodleSysConfig*>(p->Config()));
        return false;
    }
    return true;
}
