#pragma once

#include "app/shell/mainbrowserframe.h"

class TMoodleSysConfigPresets;
class THtmlDocument;

// What the welcome page asks of the main window.
class IWelcomeHost {
public:
    virtual ~IWelcomeHost() = default;
    virtual void ConnectToMoodle(const QString& aName, const QString& aTitle, TMoodleSysConfig* config) = 0;
    virtual void ManageMoodleSites() = 0;
};

// The welcome tab: the maker's update-check page when the network answers,
// else the local page beside the program; the program fills in the user's
// sites and the version texts through the element ids both pages carry.
class TFrameWelcome : public TFrameMainBrowser {
    Q_OBJECT
public:
    TFrameWelcome(QWidget* parent, IWelcomeHost* host);
    void Init() override;

    TMoodleSysConfigPresets* MoodlePresets() const;
    bool IsConnectedToNet() const { return FIsConnectedToNet; }

    void RefreshWelcomePage();
    void FillSiteList(const THtmlDocument& doc);
    void ShowVersionInfo(const THtmlDocument& doc);
    // A click on the page; false when the program handled it.
    bool PageClick(const THtmlElement& source);

    static inline const QString MsgUsingVersion = QStringLiteral("You are now using V%1");
    static inline const QString MsgUsingLatest = QStringLiteral("You are now using the lastest one.");
    // What the site list says before the first site is added.
    static inline const QString MsgNoSites = QStringLiteral("No sites yet.");
    static inline const QString MsgNoSitesHint =
        QStringLiteral("Choose \u201cManage Moodle sites\u2026\u201d below to add the Moodle site you teach on; it then appears here.");

protected:
    void ModeChanged() override;
    void BrowserDocumentComplete() override;
    void BrowserDownloadComplete() override;

private:
    // Makes the page cancel the default action of the clicks PageClick
    // handles (the engine reports clicks after the fact).
    void CancelHandledClicks();

    IWelcomeHost* FHost;
    bool FIsConnectedToNet = false;
};
