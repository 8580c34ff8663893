#pragma once

#include "app/shell/welcomeframe.h"

#include <QMainWindow>
#include <functional>

class QMenu;
class QPlainTextEdit;
class QToolButton;
class TDelayedSave;
class TEmbeddedWB;
class TFrameDownloads;
class TFormPlacement;
class TFrameOperationBrowser;
class TFrameTabbedBrowseClient;
class TMoodleSysConfigPresets;

// The program's main window: five toolbar buttons over the tabbed browser,
// one set of actions bound to whatever tab is current, the site and bookmark
// menus, the title that follows the page, and the automatic opening of the
// word editor when a site editor gains the focus.
class TFormMain : public QMainWindow, public IWelcomeHost {
    Q_OBJECT
public:
    // The windows this one opens, handed in by the program's entry so the
    // main window can be built and tested without them.
    struct TWindows {
        // The word editor on a site editor; answers whether it submitted.
        std::function<bool(TEmbeddedWB* browser, const THtmlElement& editorFrame, TMoodleSysConfig* site)> WordEditor;
        // The settings dialog on a page (-1: the page it showed last); saves the files after it.
        std::function<void(int pageIndex)> ConfigSetting;
        // The bookmark manager over the site presets, with the active site.
        std::function<void(TMoodleSysConfigPresets* presets, TMoodleSysConfig* active)> ManageBookmarks;
    };

    // Loads the configuration, applies the general settings and builds the
    // site menu: everything before the window is first shown.
    explicit TFormMain(TWindows windows = {}, QWidget* parent = nullptr);
    // Saves the configuration and removes the temporary working folder.
    ~TFormMain() override;

    TFrameTabbedBrowseClient* FrameBrowseClient() const { return FFrameBrowseClient; }
    // The downloads of every tab, below the pages.
    TFrameDownloads* FrameDownloads() const { return FFrameDownloads; }
    TFrameMainBrowser* CurrBrowserFrame() const;
    QWidget* CurrMoodleTab() const;
    QString CurrMoodleTabName() const;
    TMoodleSysConfig* CurrMoodleSysConfig() const;
    TEmbeddedWB* OperationBrowser() const;

    void ConnectToMoodle(const QString& aName, const QString& aTitle, TMoodleSysConfig* config) override;
    void LoginToMoodle(const QString& aName, const QString& aTitle, TMoodleSysConfig* config);
    void ManageMoodleSites() override { ActionManageMoodleSites->trigger(); }
    // The user guide in a tab of its own (F1); opened again, the tab is shown.
    void ShowUserGuide();
    static inline const QString UserGuideTabName = QStringLiteral("Tab_UserGuide");
    static inline const QString UserGuideTitle = QStringLiteral("User Guide");

    void RebuildSitesMenu();
    // After the site presets changed (the settings dialog closed): the site
    // menu, the welcome page's list and the bookmarks menu show them as
    // they are now.
    void SitePresetsChanged();
    void RebuildBookmarksMenu();
    void UpdateMainTitle(const QString& aTitle);
    void ApplyGeneralConfig();
    // The idle-time update of the actions' enabled states.
    void ActionListMainUpdate();
    // The automatic opening of the word editor for a focused site editor.
    void BrowseClientWyswigEditorFocus(QObject* sender, const THtmlElement& frameElem);

    QMenu* PopupMenuConnectMoodle() const { return FPopupMenuConnectMoodle; }
    QMenu* PopupMenuBookmarks() const { return FPopupMenuBookmarks; }
    QMenu* PopupMenuHelp() const { return FPopupMenuHelp; }
    QToolButton* BtnConnectMoodle() const { return FBtnConnectMoodle; }
    QToolButton* BtnBookmarks() const { return FBtnBookmarks; }

    QAction *ActionGoMoodleHome, *ActionLogin, *ActionOpenWordEditor, *ActionSetConfig, *ActionDebugRunScript,
        *ActionAddBookmark, *ActionManageBookmarks, *ActionManageMoodleSites, *ActionAbout,
        *ActionFocusBrowserLocationBar, *ActionBrowserBack, *ActionBrowserForward, *ActionBrowserReload,
        *ActionBrowserStop, *ActionWelcomePage, *ActionUserGuide, *ActionFind, *ActionZoomIn, *ActionZoomOut,
        *ActionZoomReset, *ActionPrint;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* NewAction(const QString& caption, const QString& hint, const QKeySequence& shortcut = {});
    void CreateActions();
    void CreateToolbar();
    // Runs a command; a failure is shown in a message box and the window stays as it was.
    void Guarded(const std::function<void()>& work);
    void ExecuteFrameAction(QAction* (TFrameMainBrowser::*action)() const);
    // Runs a dialog that edits the live configuration (settings, bookmarks):
    // while it is open every committed edit schedules a save, and the files
    // are written when it closes.
    void EditConfig(const std::function<void()>& work);

    TWindows FWindows;
    TFrameTabbedBrowseClient* FFrameBrowseClient;
    TFrameDownloads* FFrameDownloads;
    TFrameOperationBrowser* FFrameOperationBrowser;
    QWidget* FPanelDebug;
    QPlainTextEdit* FMemoJs;
    QMenu *FPopupMenuConnectMoodle, *FPopupMenuBookmarks, *FPopupMenuHelp;
    QToolButton *FBtnConnectMoodle, *FBtnBookmarks;
    TFormPlacement* FPlacement;
    QTimer* FIdleUpdate;
    TDelayedSave* FConfigSave;
    int FConfigEditDepth = 0;
    bool FShownOnce = false;
};
