#include "app/shell/welcomeframe.h"

#include "app/config/appconfigs.h"
#include "app/shell/abouts.h"
#include "utillib/netcheckers.h"
#include "utillib/version.h"
#include "web/embeddedwb.h"

TFrameWelcome::TFrameWelcome(QWidget* parent, IWelcomeHost* host) : TFrameMainBrowser(parent), FHost(host)
{
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
