#include "app/shell/mainbrowserframe.h"

#include "app/config/appconfigs.h"
#include "app/shell/globaldm.h"
#include "web/embeddedwb.h"
#include "web/moodlepagetracker.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

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
    FToolBar->addWidget(FEditUrl);
    FToolBar->addAction(FActionBrowserGo);
    if (auto* go = qobject_cast<QToolButton*>(FToolBar->widgetForAction(FActionBrowserGo))) {
        go->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        go->setLayoutDirection(Qt::RightToLeft); // the picture on the caption's right
        go->setMinimumWidth(48);
    }
    layout->addWidget(FToolBar);

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

TFrameOperationBrowser::TFrameOperationBrowser(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FBrowser = new TEmbeddedWB(this);
    FBrowser->setObjectName(QStringLiteral("Browser"));
    layout->addWidget(FBrowser);
}
