#pragma once

#include "app/config/appconfigs.h"
#include "web/embeddedwb.h"
#include "web/htmldom.h"

#include <QAction>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPrinter;
class QProgressBar;
class QToolBar;
class QWidget;
class TEmbeddedWB;
class TMoodlePageTracker;
class TMoodleSysConfig;

enum class TBrowserMode { bmMoodle, bmWelcome, bmNormal };

// The content of one browser tab: a navigation bar with a location field above
// a browser control, a progress strip, and what ties the page to a site
// preset. In Moodle mode it follows the focused element and tells when focus
// enters the site's HTML editor.
class TFrameMainBrowser : public QWidget {
    Q_OBJECT
public:
    explicit TFrameMainBrowser(QWidget* parent = nullptr);
    ~TFrameMainBrowser() override;

    // Runs once, right after construction, through the creating code (C++ cannot
    // dispatch a descendant's Init from this constructor).
    virtual void Init();

    QString FrameId() const { return FFrameId; }
    void SetFrameId(const QString& v) { FFrameId = v; }
    QString PresetTitle() const { return FPresetTitle; }
    void SetPresetTitle(const QString& v) { FPresetTitle = v; }
    // The site preset's settings; none once the preset was removed (the
    // settings belong to the preset, the tab only follows them).
    TMoodleSysConfig* MoodleConfig() const { return FMoodleConfig.data(); }
    void SetMoodleConfig(TMoodleSysConfig* v)
    {
        FMoodleConfig = v;
        FSiteFrame = FSiteFrame || v;
    }
    // Whether the frame was opened for a site preset (it stays one after the
    // preset is gone).
    bool IsSiteFrame() const { return FSiteFrame; }
    TBrowserMode Mode() const { return FMode; }
    void SetMode(TBrowserMode value);

    TEmbeddedWB* Browser() const { return FBrowser; }
    QString BrowserUrl() const;
    void SetBrowserUrl(const QString& url) { NavigateWait(url); }
    // The shown document's title, or empty without one.
    QString BrowserTitle() const;
    THtmlElement CurrElement() const;
    THtmlElement CurrMoodleWyswigEditor() const;

    // Starts navigating unless the control already shows url; does not wait.
    void NavigateWait(const QString& url);
    void GoBack();
    void GoForward();
    void Reload();
    void Stop();
    void SelectLocationEdit();
    void AddBookmark();

    // Find in page: the bar under the navigation bar, searching as typed;
    // Enter finds the next match, Shift+Enter the one before, Esc closes.
    void ShowFindBar();
    void HideFindBar();
    void FindNext(bool backward = false);
    QWidget* FindBar() const { return FFindBar; }
    QLineEdit* EditFind() const { return FEditFind; }
    // "2 of 5", "Not found", or empty before a search.
    QString FindResultText() const;

    // The page's zoom in the usual steps, from 25 % to 500 %.
    void ZoomIn();
    void ZoomOut();
    void ZoomReset();
    qreal ZoomFactor() const;

    // Ctrl+P: the print dialog, whose printers include printing to a PDF
    // file; the page asking to print (window.print) gets the same.
    void Print();
    // Writes the page as a PDF file; onDone tells whether it was written.
    void SaveAsPdf(const QString& filePath, std::function<void(bool)> onDone = {});

    QAction* ActionBrowserBack() const { return FActionBrowserBack; }
    QAction* ActionBrowserForward() const { return FActionBrowserForward; }
    QAction* ActionBrowserReload() const { return FActionBrowserReload; }
    QAction* ActionBrowserStop() const { return FActionBrowserStop; }
    QAction* ActionBrowserGo() const { return FActionBrowserGo; }
    QAction* ActionAddBookmark() const { return FActionAddBookmark; }
    QLineEdit* EditUrl() const { return FEditUrl; }
    QWidget* PanelRaiseInfo() const { return FPanelRaiseInfo; }
    QProgressBar* GaugeLoadingProgress() const { return FGauge; }

    // The bookmark dialog in add mode (site title, in/out title and address);
    // true when confirmed. One dialog serves every frame; the program's entry
    // installs it.
    using TEditBookmarkDialog = std::function<bool(const QString& siteTitle, QString& title, QString& url)>;
    static TEditBookmarkDialog& EditBookmarkDialog();

    // The idle-time update of the frame's actions.
    void ActionListMainBrowserUpdate();

    // What the progress strip does with a progress report.
    void BrowserProgressChange(int progress, int progressMax);

Q_SIGNALS:
    void OnNavigateComplete(QObject* sender, const QString& url);
    void OnElementFocus(QObject* sender, const THtmlElement& element);
    void OnWyswigEditorFocus(QObject* sender, const THtmlElement& element);
    void OnDocumentComplete(QObject* sender);

protected:
    virtual void ModeChanged();
    virtual void BrowserDocumentComplete();
    virtual void BrowserDownloadComplete();
    void resizeEvent(QResizeEvent* event) override;

private:
    void BrowserNavigateComplete();
    void BrowserCommandStateChange(int command, bool enable);

    QString FFrameId, FPresetTitle;
    QPointer<TMoodleSysConfig> FMoodleConfig;
    bool FSiteFrame = false;
    TBrowserMode FMode = TBrowserMode::bmNormal;
    QToolBar* FToolBar;
    QLineEdit* FEditUrl;
    QWidget* FPanelBrowser;
    TEmbeddedWB* FBrowser;
    QWidget* FPanelRaiseInfo;
    QProgressBar* FGauge;
    TMoodlePageTracker* FTracker;
    THtmlElement FCurrEditor;
    QAction *FActionBrowserBack, *FActionBrowserForward, *FActionBrowserReload, *FActionBrowserStop,
        *FActionBrowserGo, *FActionAddBookmark;
    QTimer* FIdleUpdate;
    QWidget* FFindBar;
    QLineEdit* FEditFind;
    QLabel* FLabelFindResult;
    std::unique_ptr<QPrinter> FPrinter; // while the engine prints on it
    std::function<void(bool)> FPdfDone;
};

// A frame that holds only a browser control; the main window keeps one out of
// sight for operations that must not disturb the visible page.
class TFrameOperationBrowser : public QWidget {
    Q_OBJECT
public:
    explicit TFrameOperationBrowser(QWidget* parent = nullptr);
    TEmbeddedWB* Browser() const { return FBrowser; }

private:
    TEmbeddedWB* FBrowser;
};
