#include "app/shell/mainbrowserframe.h"

#include "app/config/appconfigs.h"
#include "app/shell/globaldm.h"
#include "web/embeddedwb.h"
#include "web/moodlepagetracker.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

namespace {

QAction* MakeAction(QObject* parent, const QString& text, const QString& hint, int image)
{
    auto* a = new QAction(text, parent);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    if (image >= 0 && DmGlobal())
        a->setIcon(DmGlobal()->ImageListActions16(image));
    return a;
}

// Enter in the location field goes to the address as it stands.
class TUrlEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    QAction* Go = nullptr;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && Go) {
            Go->trigger();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
};

// The find field: Enter and Shift+Enter search on, Esc closes the bar
// (before the window's Esc, which stops the page).
class TFindEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void(bool backward)> Find;
    std::function<void()> Close;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
            e->accept();
            return true;
        }
        return QLineEdit::event(e);
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && Find) {
            Find(e->modifiers() & Qt::ShiftModifier);
            return;
        }
        if (e->key() == Qt::Key_Escape && Close) {
            Close();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
};

const qreal kZoomSteps[] = {0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0, 5.0};

} // namespace

TFrameMainBrowser::TEditBookmarkDialog& TFrameMainBrowser::EditBookmarkDialog()
{
    static TEditBookmarkDialog dialog;
    return dialog;
}

TFrameMainBrowser::TFrameMainBrowser(QWidget* parent) : QWidget(parent)
{
    FActionBrowserBack = MakeAction(this, QStringLiteral("&Back"), QStringLiteral("Go back"), TDmGlobal::iaBack);
    FActionBrowserForward = MakeAction(this, QStringLiteral("&Forward"), QStringLiteral("Go forward"), TDmGlobal::iaForward);
    FActionBrowserReload = MakeAction(this, QStringLiteral("&Reload"), QStringLiteral("Reload current page"), TDmGlobal::iaReload);
    FActionBrowserStop = MakeAction(this, QStringLiteral("&Stop"), QStringLiteral("Stop loading this page"), TDmGlobal::iaStop);
    FActionBrowserGo = MakeAction(this, QStringLiteral("&Go"), QStringLiteral("Go to URL"), TDmGlobal::iaGo);
    FActionAddBookmark = MakeAction(this, QStringLiteral("Add Bookmark"), QString(), -1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    FToolBar = new QToolBar(this);
    FToolBar->setObjectName(QStringLiteral("bsSkinToolBar1"));
    FToolBar->setFixedHeight(29);
    FToolBar->setIconSize(QSize(16, 16));
    FToolBar->addAction(FActionBrowserBack);
    FToolBar->addAction(FActionBrowserForward);
    FToolBar->addAction(FActionBrowserReload);
    FToolBar->addAction(FActionBrowserStop);
    auto* edit = new TUrlEdit(FToolBar);
    edit->Go = FActionBrowserGo;
    FEditUrl = edit;
    FEditUrl->setObjectName(QStringLiteral("EditUrl"));
    FEditUrl->setAccessibleName(QStringLiteral("Address"));
    FToolBar->addWidget(FEditUrl);
    FToolBar->addAction(FActionBrowserGo);
    if (auto* go = qobject_cast<QToolButton*>(FToolBar->widgetForAction(FActionBrowserGo))) {
        go->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        go->setLayoutDirection(Qt::RightToLeft); // the picture on the caption's right
        go->setMinimumWidth(48);
    }
    layout->addWidget(FToolBar);

    FFindBar = new QWidget(this);
    FFindBar->setObjectName(QStringLiteral("FindBar"));
    auto* findLayout = new QHBoxLayout(FFindBar);
    findLayout->setContentsMargins(4, 2, 4, 2);
    findLayout->addWidget(new QLabel(QStringLiteral("Find:"), FFindBar));
    auto* findEdit = new TFindEdit(FFindBar);
    findEdit->Find = [this](bool backward) { FindNext(backward); };
    findEdit->Close = [this] { HideFindBar(); };
    FEditFind = findEdit;
    FEditFind->setObjectName(QStringLiteral("EditFind"));
    FEditFind->setAccessibleName(QStringLiteral("Find in page"));
    FEditFind->setClearButtonEnabled(true);
    findLayout->addWidget(FEditFind, 1);
    auto findButton = [&](const QString& text, const QString& hint, const char* name) {
        auto* b = new QToolButton(FFindBar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        b->setAutoRaise(true);
        findLayout->addWidget(b);
        return b;
    };
    QToolButton* previous = findButton(QStringLiteral("\u25b2"), QStringLiteral("Previous match"), "BtnFindPrevious");
    QToolButton* next = findButton(QStringLiteral("\u25bc"), QStringLiteral("Next match"), "BtnFindNext");
    FLabelFindResult = new QLabel(FFindBar);
    FLabelFindResult->setObjectName(QStringLiteral("LabelFindResult"));
    FLabelFindResult->setMinimumWidth(90);
    findLayout->addWidget(FLabelFindResult);
    QToolButton* closeFind = findButton(QStringLiteral("\u00d7"), QStringLiteral("Close the find bar"), "BtnFindClose");
    connect(previous, &QToolButton::clicked, this, [this] { FindNext(true); });
    connect(next, &QToolButton::clicked, this, [this] { FindNext(false); });
    connect(closeFind, &QToolButton::clicked, this, &TFrameMainBrowser::HideFindBar);
    connect(FEditFind, &QLineEdit::textEdited, this, [this] { FindNext(false); });
    FFindBar->hide();
    layout->addWidget(FFindBar);

    FPanelBrowser = new QWidget(this);
    FPanelBrowser->setObjectName(QStringLiteral("PanelBrowser"));
    auto* panelLayout = new QVBoxLayout(FPanelBrowser);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    FBrowser = new TEmbeddedWB(FPanelBrowser);
    FBrowser->setObjectName(QStringLiteral("Browser"));
    panelLayout->addWidget(FBrowser);
    layout->addWidget(FPanelBrowser, 1);

    // The progress strip floats over the bottom of the page.
    FPanelRaiseInfo = new QWidget(this);
    FPanelRaiseInfo->setObjectName(QStringLiteral("PanelRaiseInfo"));
    auto* stripLayout = new QHBoxLayout(FPanelRaiseInfo);
    stripLayout->setContentsMargins(0, 0, 0, 0);
    FGauge = new QProgressBar(FPanelRaiseInfo);
    FGauge->setObjectName(QStringLiteral("GaugeLoadingProgress"));
    FGauge->setTextVisible(true);
    FGauge->setFormat(QStringLiteral("%p%"));
    stripLayout->addWidget(FGauge);
    FPanelRaiseInfo->setFixedHeight(15);
    FPanelRaiseInfo->hide();

    FTracker = new TMoodlePageTracker(FBrowser, this);
    FTracker->SetEventSender(this);
    // The editor that has the focus is remembered as the events tell it, so
    // the idle-time updates never ask the page (a script call there would
    // run inside whatever wait is pumping the event loop).
    connect(FTracker, &TMoodlePageTracker::OnElementFocus, this, [this](QObject* sender, const THtmlElement& e) {
        FCurrEditor = THtmlElement();
        Q_EMIT OnElementFocus(sender, e);
    });
    connect(FTracker, &TMoodlePageTracker::OnWyswigEditorFocus, this, [this](QObject* sender, const THtmlElement& e) {
        FCurrEditor = e;
        Q_EMIT OnWyswigEditorFocus(sender, e);
    });

    connect(FActionBrowserBack, &QAction::triggered, this, &TFrameMainBrowser::GoBack);
    connect(FActionBrowserForward, &QAction::triggered, this, &TFrameMainBrowser::GoForward);
    connect(FActionBrowserReload, &QAction::triggered, this, &TFrameMainBrowser::Reload);
    connect(FActionBrowserStop, &QAction::triggered, this, &TFrameMainBrowser::Stop);
    connect(FActionBrowserGo, &QAction::triggered, this, [this] { NavigateWait(FEditUrl->text()); });
    connect(FActionAddBookmark, &QAction::triggered, this, &TFrameMainBrowser::AddBookmark);

    connect(FBrowser, &TEmbeddedWB::NavigateComplete2, this, [this](const QUrl&) { BrowserNavigateComplete(); });
    connect(FBrowser, &TEmbeddedWB::DocumentComplete, this, [this](const QUrl&) { BrowserDocumentComplete(); });
    connect(FBrowser, &TEmbeddedWB::DownloadComplete, this, [this] { BrowserDownloadComplete(); });
    connect(FBrowser, &TEmbeddedWB::ProgressChange, this, &TFrameMainBrowser::BrowserProgressChange);
    connect(FBrowser, &TEmbeddedWB::CommandStateChange, this, &TFrameMainBrowser::BrowserCommandStateChange);
    // A page's own print button (window.print) opens the same dialog.
    connect(FBrowser->page(), &QWebEnginePage::printRequested, this, &TFrameMainBrowser::Print);
    connect(FBrowser, &QWebEngineView::printFinished, this, [this](bool) { FPrinter.reset(); });
    connect(FBrowser->page(), &QWebEnginePage::pdfPrintingFinished, this, [this](const QString&, bool ok) {
        if (auto done = std::exchange(FPdfDone, nullptr))
            done(ok);
    });

    // The actions' enabled states follow the page when the program is idle.
    FIdleUpdate = new QTimer(this);
    FIdleUpdate->setInterval(150);
    connect(FIdleUpdate, &QTimer::timeout, this, &TFrameMainBrowser::ActionListMainBrowserUpdate);
    FIdleUpdate->start();
}

TFrameMainBrowser::~TFrameMainBrowser() = default;

void TFrameMainBrowser::Init()
{
    SetMode(TBrowserMode::bmMoodle);
    FActionBrowserBack->setEnabled(false);
    FActionBrowserForward->setEnabled(false);
    FActionBrowserReload->setEnabled(false);
    FActionBrowserStop->setEnabled(false);
    FEditUrl->clear();
    FPanelRaiseInfo->hide();
}

void TFrameMainBrowser::SetMode(TBrowserMode value)
{
    FMode = value;
    ModeChanged();
}

void TFrameMainBrowser::ModeChanged()
{
    // In Moodle mode the page integration runs; new windows always open in
    // this same control.
    FTracker->SetActive(FMode == TBrowserMode::bmMoodle);
}

QString TFrameMainBrowser::BrowserUrl() const
{
    return FBrowser->LocationURL();
}

QString TFrameMainBrowser::BrowserTitle() const
{
    if (FBrowser->LocationURL().isEmpty())
        return {};
    try {
        THtmlDocument doc = FBrowser->Document();
        return doc ? doc.Title() : QString();
    } catch (const std::exception&) {
        return {};
    }
}

THtmlElement TFrameMainBrowser::CurrElement() const
{
    return FTracker->CurrElement();
}

THtmlElement TFrameMainBrowser::CurrMoodleWyswigEditor() const
{
    if (FMode != TBrowserMode::bmMoodle || !FCurrEditor || !FCurrEditor.SameObject(FTracker->CurrElement()))
        return {};
    return FCurrEditor;
}

void TFrameMainBrowser::NavigateWait(const QString& url)
{
    if (FBrowser->LocationURL() != url)
        FBrowser->Navigate(url);
}

void TFrameMainBrowser::GoBack() { FBrowser->GoBack(); }
void TFrameMainBrowser::GoForward() { FBrowser->GoForward(); }
void TFrameMainBrowser::Reload() { FBrowser->Refresh(); }
void TFrameMainBrowser::Stop() { FBrowser->Stop(); }

void TFrameMainBrowser::SelectLocationEdit()
{
    FEditUrl->setFocus();
    FEditUrl->selectAll();
}

void TFrameMainBrowser::ActionListMainBrowserUpdate()
{
    FActionBrowserStop->setEnabled(FBrowser->Busy());
    const bool hasUrl = !BrowserUrl().isEmpty();
    FActionBrowserReload->setEnabled(hasUrl);
    FActionBrowserGo->setEnabled(!FEditUrl->text().trimmed().isEmpty());
    FActionAddBookmark->setEnabled(hasUrl);
}

void TFrameMainBrowser::BrowserNavigateComplete()
{
    FEditUrl->setText(FBrowser->LocationURL());
    FPanelRaiseInfo->hide();
    Q_EMIT OnNavigateComplete(FBrowser, FBrowser->LocationURL());
}

void TFrameMainBrowser::BrowserDocumentComplete()
{
    Q_EMIT OnDocumentComplete(this);
}

void TFrameMainBrowser::BrowserDownloadComplete() {}

void TFrameMainBrowser::BrowserProgressChange(int progress, int progressMax)
{
    if (progress > 0 && progressMax > 1) {
        FGauge->setRange(0, progressMax);
        FGauge->setValue(progress);
        FGauge->repaint();
        if (progress != progressMax && progress > 1) {
            FPanelRaiseInfo->show();
            FPanelRaiseInfo->raise();
            return;
        }
    }
    FPanelRaiseInfo->hide();
}

void TFrameMainBrowser::BrowserCommandStateChange(int command, bool enable)
{
    switch (command) {
    case TEmbeddedWB::CSC_UPDATECOMMANDS: FActionBrowserReload->setEnabled(enable); break;
    case TEmbeddedWB::CSC_NAVIGATEFORWARD: FActionBrowserForward->setEnabled(enable); break;
    case TEmbeddedWB::CSC_NAVIGATEBACK: FActionBrowserBack->setEnabled(enable); break;
    default: break;
    }
}

void TFrameMainBrowser::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FPanelRaiseInfo->setGeometry(0, height() - FPanelRaiseInfo->height(), width(), FPanelRaiseInfo->height());
}

void TFrameMainBrowser::AddBookmark()
{
    const QString title = BrowserTitle();
    const QString url = BrowserUrl();
    if (url.isEmpty() || !FMoodleConfig)
        return;
    QString resultTitle = title, resultUrl = url;
    if (!EditBookmarkDialog() || !EditBookmarkDialog()(FPresetTitle, resultTitle, resultUrl))
        return;
    FMoodleConfig->Bookmarks()->AddBookmark(resultTitle, resultUrl);
}

void TFrameMainBrowser::ShowFindBar()
{
    FFindBar->show();
    FEditFind->setFocus();
    FEditFind->selectAll();
    if (!FEditFind->text().isEmpty())
        FindNext(false);
}

void TFrameMainBrowser::HideFindBar()
{
    FFindBar->hide();
    FLabelFindResult->clear();
    FBrowser->findText(QString()); // takes the highlight away
    FBrowser->setFocus();
}

void TFrameMainBrowser::FindNext(bool backward)
{
    const QString text = FEditFind->text();
    if (text.isEmpty()) {
        FLabelFindResult->clear();
        FBrowser->findText(QString());
        return;
    }
    QPointer<QLabel> label(FLabelFindResult);
    FBrowser->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags(),
                       [label](const QWebEngineFindTextResult& r) {
                           if (!label)
                               return;
                           label->setText(r.numberOfMatches() == 0
                                              ? QStringLiteral("Not found")
                                              : QStringLiteral("%1 of %2").arg(r.activeMatch()).arg(r.numberOfMatches()));
                       });
}

QString TFrameMainBrowser::FindResultText() const
{
    return FLabelFindResult->text();
}

qreal TFrameMainBrowser::ZoomFactor() const
{
    return FBrowser->zoomFactor();
}

void TFrameMainBrowser::ZoomIn()
{
    const qreal z = FBrowser->zoomFactor();
    for (qreal step : kZoomSteps)
        if (step > z + 0.001) {
            FBrowser->setZoomFactor(step);
            return;
        }
}

void TFrameMainBrowser::ZoomOut()
{
    const qreal z = FBrowser->zoomFactor();
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
        if (*it < z - 0.001) {
            FBrowser->setZoomFactor(*it);
            return;
        }
}

void TFrameMainBrowser::ZoomReset()
{
    FBrowser->setZoomFactor(1.0);
}

void TFrameMainBrowser::Print()
{
    if (FPrinter || FBrowser->LocationURL().isEmpty())
        return; // one print at a time
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Print"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty()) {
        SaveAsPdf(printer->outputFileName());
        return;
    }
    // The engine prints asynchronously: the printer lives until it is done.
    FPrinter = std::move(printer);
    FBrowser->print(FPrinter.get());
}

void TFrameMainBrowser::SaveAsPdf(const QString& filePath, std::function<void(bool)> onDone)
{
    FPdfDone = std::move(onDone);
    FBrowser->page()->printToPdf(filePath);
}

TFrameOperationBrowser::TFrameOperationBrowser(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FBrowser = new TEmbeddedWB(this);
    FBrowser->setObjectName(QStringLiteral("Browser"));
    layout->addWidget(FBrowser);
}
