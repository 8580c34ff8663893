#pragma once

#include "app/shell/mainbrowserframe.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QTabWidget;
class TMoodleSysConfig;
class TMoodleSysConfigPresets;

// Makes the browser frame of a tab: TFrameMainBrowser or a descendant.
using TFrameMainBrowserClass = std::function<TFrameMainBrowser*(QWidget* parent)>;

// The main window's client area: one tab per opened site preset, named after
// the preset so that opening it again reuses the tab, and a welcome tab that
// cannot be closed while it is alone and comes back after the last site tab.
class TFrameTabbedBrowseClient : public QWidget {
    Q_OBJECT
public:
    explicit TFrameTabbedBrowseClient(QWidget* parent = nullptr);

    QWidget* WelcomeTab() const { return FWelcomeTab; }
    QWidget* CurrTab() const;
    TFrameMainBrowser* CurrBrowserFrame() const;
    QString CurrTabName() const;
    QTabWidget* PageControlClient() const { return FPageControl; }

    // Opens or reuses the tab named aName. A name that is not an identifier
    // (letters, digits, "_") raises EVantoliException naming the preset.
    QWidget* CreateBrowserTab(const QString& aName, const QString& aTitle, const QString& aUrl,
                              TMoodleSysConfig* moodleConfig, const TFrameMainBrowserClass& frameClass = {});
    QWidget* CreateWelcomeTab();
    void ShowWelcomeTab();
    TFrameMainBrowser* GetBrowserFrameByName(const QString& aName) const;
    int IndexOfFrameByName(const QString& aName) const;
    int TabCount() const;

    // What the close button of the active page does.
    void CloseCurrentTab();

    // Brings the site tabs in line with the presets after they changed: a
    // tab whose preset is gone closes (its page is stopped first), a renamed
    // or retitled preset renames its tab, which keeps its page.
    void FollowSitePresets(TMoodleSysConfigPresets* presets);

    // The welcome frame's class; the shell sets it (the welcome page needs the main window).
    void SetWelcomeFrameClass(TFrameMainBrowserClass cls) { FWelcomeFrameClass = std::move(cls); }

    static inline const QString WelcomeTabName = QStringLiteral("Tab_Welcome");
    static inline const QString WelcomeTitle = QStringLiteral("Welcome");

Q_SIGNALS:
    void OnCurrTabChange(QObject* sender);
    void OnCurrBrowserChange(QObject* sender);
    void OnCurrBrowserDocComplete(QObject* sender);
    void OnElementFocus(QObject* sender, const THtmlElement& element);
    void OnWyswigEditorFocus(QObject* sender, const THtmlElement& element);

private:
    void PageControlClientChange();
    bool PageControlClientClose(int index);
    void PageControlClientAfterClose();
    void SetWelcomeTabVisible(bool value);
    TFrameMainBrowser* GetBrowserFrameAt(int index) const;
    static TFrameMainBrowser* GetBrowserFrameOfTab(QWidget* sheet);

    QTabWidget* FPageControl;
    QPointer<QWidget> FWelcomeTab;
    TFrameMainBrowserClass FWelcomeFrameClass;
    bool FFreeOnClose = true;
};
