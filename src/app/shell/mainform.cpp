#include "app/shell/mainform.h"

#include "app/config/appconfigs.h"
#include "app/config/configsaveload.h"
#include "app/shell/aboutform.h"
#include "app/shell/downloadsframe.h"
#include "app/shell/abouts.h"
#include "app/shell/formplacement.h"
#include "app/shell/globaldm.h"
#include "app/shell/tabbedbrowseclientframe.h"
#include "utillib/delayedsave.h"
#include "utillib/globalutils.h"
#include "web/embeddedwb.h"
#include "web/moodlesiteconnect.h"
#include "web/moodleeditors.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineProfile>

TFormMain::TFormMain(TWindows windows, QWidget* parent) : QMainWindow(parent), FWindows(std::move(windows))
{
    setObjectName(QStringLiteral("FormMain"));
    resize(1100, 760);
    CreateActions();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FFrameBrowseClient = new TFrameTabbedBrowseClient(central);
    FFrameBrowseClient->setObjectName(QStringLiteral("FrameBrowseClient"));
    FFrameBrowseClient->SetWelcomeFrameClass([this](QWidget* parent) { return new TFrameWelcome(parent, this); });
    layout->addWidget(FFrameBrowseClient, 1);
    // Every tab's browser uses the engine's default profile, so its
    // downloads come with the tab's session.
    FFrameDownloads = new TFrameDownloads(QWebEngineProfile::defaultProfile(), central);
    layout->addWidget(FFrameDownloads);

    // A browser kept out of sight, one pixel at (-1, -1).
    FFrameOperationBrowser = new TFrameOperationBrowser(central);
    FFrameOperationBrowser->setObjectName(QStringLiteral("FrameOperationBrowser"));
    FFrameOperationBrowser->setGeometry(-1, -1, 1, 1);

    // The developer panel: present, never shown by the program.
    FPanelDebug = new QWidget(central);
    FPanelDebug->setObjectName(QStringLiteral("PanelDebug"));
    FPanelDebug->setFixedHeight(150);
    auto* debugLayout = new QHBoxLayout(FPanelDebug);
    auto* memoLog = new QPlainTextEdit(FPanelDebug);
    memoLog->setObjectName(QStringLiteral("MemoLog"));
    debugLayout->addWidget(memoLog, 1);
    auto* panelJs = new QWidget(FPanelDebug);
    panelJs->setFixedWidth(257);
    auto* jsLayout = new QVBoxLayout(panelJs);
    FMemoJs = new QPlainTextEdit(panelJs);
    FMemoJs->setObjectName(QStringLiteral("MemoJs"));
    jsLayout->addWidget(FMemoJs);
    auto* runScript = new QPushButton(panelJs);
    connect(runScript, &QPushButton::clicked, ActionDebugRunScript, &QAction::trigger);
    runScript->setText(ActionDebugRunScript->text());
    jsLayout->addWidget(runScript);
    debugLayout->addWidget(panelJs);
    FPanelDebug->hide();
    layout->addWidget(FPanelDebug);
    setCentralWidget(central);

    CreateToolbar();

    // InitMainForm
    UpdateMainTitle(QString());
    TVantoliConfigPersistent::LoadConfigs();
    if (TDmGlobal* dm = DmGlobal())
        dm->AppXMLFileStorage()->SetFileName(TVantoliConfigPersistent::FormsConfigFile());
    ApplyGeneralConfig();
    connect(FFrameBrowseClient, &TFrameTabbedBrowseClient::OnCurrTabChange, this, [this](QObject*) { RebuildBookmarksMenu(); });
    connect(FFrameBrowseClient, &TFrameTabbedBrowseClient::OnCurrBrowserChange, this, [this](QObject*) {
        TFrameMainBrowser* f = CurrBrowserFrame();
        UpdateMainTitle(f ? f->BrowserTitle() : QString());
    });
    connect(FFrameBrowseClient, &TFrameTabbedBrowseClient::OnCurrBrowserDocComplete, this, [this](QObject* sender) {
        if (auto* f = qobject_cast<TFrameMainBrowser*>(sender))
            UpdateMainTitle(f->BrowserTitle());
    });
    connect(FFrameBrowseClient, &TFrameTabbedBrowseClient::OnWyswigEditorFocus, this, &TFormMain::BrowseClientWyswigEditorFocus);
    RebuildSitesMenu();

    if (TDmGlobal* dm = DmGlobal())
        FPlacement = new TFormPlacement(this, dm->AppXMLFileStorage(), QStringLiteral("FormMain"));
    else
        FPlacement = nullptr;

    FIdleUpdate = new QTimer(this);
    FIdleUpdate->setInterval(150);
    connect(FIdleUpdate, &QTimer::timeout, this, &TFormMain::ActionListMainUpdate);
    FIdleUpdate->start();

    FConfigSave = new TDelayedSave([] { TVantoliConfigPersistent::SaveConfigs(); }, TDelayedSave::DefaultDelayMs, this);
}

TFormMain::~TFormMain()
{
    if (FPlacement)
        FPlacement->Store();
    FConfigSave->Flush();
    TVantoliConfigPersistent::SaveConfigs();
    RemoveAppTempFolder();
}

QAction* TFormMain::NewAction(const QString& caption, const QString& hint, const QKeySequence& shortcut)
{
    auto* a = new QAction(caption, this);
    a->setToolTip(hint.isEmpty() ? QString(caption).remove(QLatin1Char('&')) : hint);
    a->setStatusTip(hint);
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    addAction(a); // shortcuts work while this window is active, with no modal dialog open
    return a;
}

void TFormMain::CreateActions()
{
    ActionGoMoodleHome = NewAction(QStringLiteral("Moodle Home"), QString());
    ActionLogin = NewAction(QStringLiteral("Login"), QString());
    ActionLogin->setEnabled(false);
    ActionOpenWordEditor = NewAction(QStringLiteral("&Word Editor"), QStringLiteral("Open the word editor"), QKeySequence(QStringLiteral("Ctrl+W")));
    ActionSetConfig = NewAction(QStringLiteral("Se&ttings..."), QStringLiteral("Change Vantoli Settings"));
    ActionDebugRunScript = NewAction(QStringLiteral("Run Script"), QString());
    ActionAddBookmark = NewAction(QStringLiteral("&Add Bookmark..."), QStringLiteral("Add site bookmark"), QKeySequence(QStringLiteral("Ctrl+D")));
    ActionManageBookmarks = NewAction(QStringLiteral("&Manage Bookmarks..."), QStringLiteral("Edit site bookmarks"), QKeySequence(QStringLiteral("Ctrl+Shift+B")));
    ActionManageMoodleSites = NewAction(QStringLiteral("&Manage Moodle Sites..."), QStringLiteral("Edit predefined Moodle sites"));
    ActionAbout = NewAction(QStringLiteral("About..."), QStringLiteral("About Vantoli"));
    ActionFocusBrowserLocationBar = NewAction(QString(), QString(), QKeySequence(QStringLiteral("Ctrl+L")));
    ActionBrowserBack = NewAction(QString(), QString(), QKeySequence(QStringLiteral("Alt+Left")));
    ActionBrowserForward = NewAction(QString(), QString(), QKeySequence(QStringLiteral("Alt+Right")));
    ActionBrowserReload = NewAction(QString(), QString(), QKeySequence(QStringLiteral("Ctrl+R")));
    ActionBrowserStop = NewAction(QString(), QString(), QKeySequence(Qt::Key_Escape));
    ActionWelcomePage = NewAction(QStringLiteral("&Welcome Page"), QStringLiteral("Show Vantoli welcome page"));
    ActionUserGuide = NewAction(QStringLiteral("User &Guide"), QString(), QKeySequence(Qt::Key_F1));
    ActionFind = NewAction(QStringLiteral("&Find in Page..."), QString(), QKeySequence(QKeySequence::Find));
    ActionZoomIn = NewAction(QStringLiteral("Zoom &In"), QString(), QKeySequence(QKeySequence::ZoomIn));
    // Ctrl+= is where "+" is on most keyboards without Shift.
    ActionZoomIn->setShortcuts({QKeySequence(QKeySequence::ZoomIn), QKeySequence(QStringLiteral("Ctrl+="))});
    ActionZoomOut = NewAction(QStringLiteral("Zoom &Out"), QString(), QKeySequence(QKeySequence::ZoomOut));
    ActionZoomReset = NewAction(QStringLiteral("&Normal Size"), QString(), QKeySequence(QStringLiteral("Ctrl+0")));
    ActionPrint = NewAction(QStringLiteral("&Print..."), QStringLiteral("Print the page or save it as PDF"), QKeySequence(QKeySequence::Print));

    connect(ActionGoMoodleHome, &QAction::triggered, this, [this] {
        TFrameMainBrowser* f = CurrBrowserFrame();
        if (f && AppConfig()->CurrMoodleSysConfig())
            f->NavigateWait(AppConfig()->CurrMoodleSysConfig()->RootUrl());
    });
    connect(ActionOpenWordEditor, &QAction::triggered, this, [this] {
        TFrameMainBrowser* f = CurrBrowserFrame();
        if (!f)
            return;
        // A tab whose site was removed has no settings to submit with.
        if (f->IsSiteFrame() && !f->MoodleConfig())
            return;
        THtmlElement editor = f->CurrMoodleWyswigEditor();
        if (editor && FWindows.WordEditor)
            Guarded([&] { FWindows.WordEditor(f->Browser(), editor, f->MoodleConfig()); });
    });
    connect(ActionSetConfig, &QAction::triggered, this, [this] {
        if (FWindows.ConfigSetting)
            EditConfig([&] { FWindows.ConfigSetting(-1); });
        SitePresetsChanged();
    });
    connect(ActionDebugRunScript, &QAction::triggered, this, [this] {
        if (TFrameMainBrowser* f = CurrBrowserFrame())
            Guarded([&] { f->Browser()->ExecScript(FMemoJs->toPlainText()); });
    });
    connect(ActionAddBookmark, &QAction::triggered, this, [this] {
        TFrameMainBrowser* f = CurrBrowserFrame();
        if (!f || !f->ActionAddBookmark()->isEnabled())
            return;
        EditConfig([&] { f->ActionAddBookmark()->trigger(); });
        RebuildBookmarksMenu();
    });
    connect(ActionManageBookmarks, &QAction::triggered, this, [this] {
        if (FWindows.ManageBookmarks)
            EditConfig([&] { FWindows.ManageBookmarks(AppConfig()->MoodleSysConfigPresets(), CurrMoodleSysConfig()); });
        RebuildBookmarksMenu();
    });
    connect(ActionManageMoodleSites, &QAction::triggered, this, [this] {
        if (FWindows.ConfigSetting)
            EditConfig([&] { FWindows.ConfigSetting(1); });
        SitePresetsChanged();
    });
    connect(ActionAbout, &QAction::triggered, this, [this] {
        TFormAbout about(this);
        about.exec();
    });
    connect(ActionFocusBrowserLocationBar, &QAction::triggered, this, [this] {
        if (TFrameMainBrowser* f = CurrBrowserFrame())
            f->SelectLocationEdit();
    });
    connect(ActionBrowserBack, &QAction::triggered, this, [this] { ExecuteFrameAction(&TFrameMainBrowser::ActionBrowserBack); });
    connect(ActionBrowserForward, &QAction::triggered, this, [this] { ExecuteFrameAction(&TFrameMainBrowser::ActionBrowserForward); });
    connect(ActionBrowserReload, &QAction::triggered, this, [this] { ExecuteFrameAction(&TFrameMainBrowser::ActionBrowserReload); });
    connect(ActionBrowserStop, &QAction::triggered, this, [this] { ExecuteFrameAction(&TFrameMainBrowser::ActionBrowserStop); });
    auto onFrame = [this](void (TFrameMainBrowser::*step)()) {
        return [this, step] {
            if (TFrameMainBrowser* f = CurrBrowserFrame())
                Guarded([&] { (f->*step)(); });
        };
    };
    connect(ActionFind, &QAction::triggered, this, onFrame(&TFrameMainBrowser::ShowFindBar));
    connect(ActionZoomIn, &QAction::triggered, this, onFrame(&TFrameMainBrowser::ZoomIn));
    connect(ActionZoomOut, &QAction::triggered, this, onFrame(&TFrameMainBrowser::ZoomOut));
    connect(ActionZoomReset, &QAction::triggered, this, onFrame(&TFrameMainBrowser::ZoomReset));
    connect(ActionPrint, &QAction::triggered, this, onFrame(&TFrameMainBrowser::Print));
    connect(ActionWelcomePage, &QAction::triggered, this, [this] { FFrameBrowseClient->ShowWelcomeTab(); });
    connect(ActionUserGuide, &QAction::triggered, this, [this] { Guarded([this] { ShowUserGuide(); }); });
}

namespace {
// The guide's tab: a plain browser, none of a site's page integration.
class TFrameUserGuide : public TFrameMainBrowser {
public:
    using TFrameMainBrowser::TFrameMainBrowser;
    void Init() override
    {
        TFrameMainBrowser::Init();
        SetMode(TBrowserMode::bmNormal);
    }
};
} // namespace

void TFormMain::ShowUserGuide()
{
    const bool open = FFrameBrowseClient->GetBrowserFrameByName(UserGuideTabName) != nullptr;
    FFrameBrowseClient->CreateBrowserTab(UserGuideTabName, UserGuideTitle, open ? QString() : TVantoliAbout::UserGuideUrl(),
                                         nullptr, [](QWidget* parent) { return new TFrameUserGuide(parent); });
}

void TFormMain::ExecuteFrameAction(QAction* (TFrameMainBrowser::*action)() const)
{
    TFrameMainBrowser* f = CurrBrowserFrame();
    if (!f)
        return;
    f->ActionListMainBrowserUpdate();
    QAction* a = (f->*action)();
    if (a->isEnabled())
        a->trigger();
}

void TFormMain::CreateToolbar()
{
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolbarTop"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setMinimumHeight(53);
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, bar);

    auto icon = [](int i) { return DmGlobal() ? DmGlobal()->ImageList32(i) : QIcon(); };
    auto menuButton = [&](const QString& caption, int image, const QString& hint, QMenu* menu, const char* name) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setIcon(icon(image));
        b->setToolTip(hint);
        b->setMenu(menu);
        b->setPopupMode(QToolButton::InstantPopup);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        bar->addWidget(b);
        return b;
    };
    auto actionButton = [&](QAction* action, const QString& caption, int image, const char* name) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        action->setIcon(icon(image));
        b->setDefaultAction(action);
        b->setText(caption); // the toolbar keeps its own caption
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        connect(action, &QAction::changed, b, [b, caption] { b->setText(caption); });
        bar->addWidget(b);
        return b;
    };

    FPopupMenuConnectMoodle = new QMenu(this);
    FPopupMenuConnectMoodle->setObjectName(QStringLiteral("PopupMenuConnectMoodle"));
    FPopupMenuBookmarks = new QMenu(this);
    FPopupMenuBookmarks->setObjectName(QStringLiteral("PopupMenuBookmarks"));
    FPopupMenuHelp = new QMenu(this);
    FPopupMenuHelp->setObjectName(QStringLiteral("PopupMenuHelp"));
    FPopupMenuHelp->addAction(ActionUserGuide);
    FPopupMenuHelp->addAction(ActionWelcomePage);
    FPopupMenuHelp->addSeparator();
    FPopupMenuHelp->addAction(ActionAbout);

    FBtnConnectMoodle = menuButton(QStringLiteral("Moodle Sites"), TDmGlobal::ibSites, QStringLiteral("Open Predefined Moodle Site"),
                                   FPopupMenuConnectMoodle, "BtnConnectMoodle");
    FBtnBookmarks = menuButton(QStringLiteral("Bookmarks"), TDmGlobal::ibBookmarks, QStringLiteral("Display Moodle site bookmarks"),
                               FPopupMenuBookmarks, "BtnBookmarks");
    actionButton(ActionOpenWordEditor, QStringLiteral("Word Editor"), TDmGlobal::ibWordEditor, "BtnWordEditor");
    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    actionButton(ActionSetConfig, QStringLiteral("Settings..."), TDmGlobal::ibSettings, "BtnSettings");
    menuButton(QStringLiteral("Help"), TDmGlobal::ibHelp, QStringLiteral("Help about Vantoli"), FPopupMenuHelp, "BtnHelp");
}

void TFormMain::Guarded(const std::function<void()>& work)
{
    try {
        work();
    } catch (const Exception& e) {
        QMessageBox::critical(this, QStringLiteral("Vantoli"), e.Message());
    } catch (const std::exception& e) {
        QMessageBox::critical(this, QStringLiteral("Vantoli"), QString::fromLocal8Bit(e.what()));
    }
}

void TFormMain::EditConfig(const std::function<void()>& work)
{
    if (FConfigEditDepth++ == 0)
        qApp->installEventFilter(this);
    Guarded(work);
    if (--FConfigEditDepth == 0)
        qApp->removeEventFilter(this);
    FConfigSave->Flush();
    TVantoliConfigPersistent::SaveConfigs();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    // The dialogs write a value into the live configuration when its control
    // loses the focus or is clicked, or on Enter; any of these in a dialog is
    // a possible change. The save itself leaves unchanged files alone.
    switch (event->type()) {
    case QEvent::FocusOut:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
    case QEvent::Hide:
        if (auto* w = qobject_cast<QWidget*>(watched); w && qobject_cast<QDialog*>(w->window()))
            FConfigSave->Schedule();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!FShownOnce) {
        FShownOnce = true;
        // Shown first, then the welcome tab: its connection check must not
        // hold back the window's first paint.
        QTimer::singleShot(0, this, [this] { Guarded([this] { FFrameBrowseClient->ShowWelcomeTab(); }); });
    }
}

TFrameMainBrowser* TFormMain::CurrBrowserFrame() const
{
    return FFrameBrowseClient->CurrBrowserFrame();
}

QWidget* TFormMain::CurrMoodleTab() const
{
    return FFrameBrowseClient->CurrTab();
}

QString TFormMain::CurrMoodleTabName() const
{
    TFrameMainBrowser* f = CurrBrowserFrame();
    return f ? f->FrameId() : QString();
}

TMoodleSysConfig* TFormMain::CurrMoodleSysConfig() const
{
    TFrameMainBrowser* f = CurrBrowserFrame();
    return f ? f->MoodleConfig() : nullptr;
}

TEmbeddedWB* TFormMain::OperationBrowser() const
{
    return FFrameOperationBrowser->Browser();
}

void TFormMain::ConnectToMoodle(const QString& aName, const QString& aTitle, TMoodleSysConfig* config)
{
    if (!config)
        return;
    if (config->AutoLogin()) {
        LoginToMoodle(aName, aTitle, config);
        return;
    }
    FFrameBrowseClient->CreateBrowserTab(aName, aTitle, config->RootUrl(), config);
}

void TFormMain::LoginToMoodle(const QString& aName, const QString& aTitle, TMoodleSysConfig* config)
{
    FFrameBrowseClient->CreateBrowserTab(aName, aTitle, QString(), config);
    if (TFrameMainBrowser* f = FFrameBrowseClient->GetBrowserFrameByName(aName); f && f->Browser())
        Guarded([&] { TMoodleSiteConnect::LoginToMoodle(f->Browser(), config); });
}

void TFormMain::ApplyGeneralConfig()
{
    TDmGlobal* dm = DmGlobal();
    if (!dm)
        return;
    TGeneralConfig* g = AppConfig()->GeneralConfig();
    dm->SetSkinIndex(g->SkinIndex());
    dm->SetWindowAnimation(g->EnableWindowAnimation());
    dm->SetControlEffects(g->EnableControlEffects());
}

void TFormMain::ActionListMainUpdate()
{
    TFrameMainBrowser* f = CurrBrowserFrame();
    const bool moodle = f && f->Mode() == TBrowserMode::bmMoodle;
    if (f)
        f->ActionListMainBrowserUpdate();
    ActionOpenWordEditor->setEnabled(moodle && (!f->IsSiteFrame() || f->MoodleConfig()) && bool(f->CurrMoodleWyswigEditor()));
    ActionAddBookmark->setEnabled(moodle && f->ActionAddBookmark()->isEnabled());
}

void TFormMain::RebuildSitesMenu()
{
    FPopupMenuConnectMoodle->clear();
    TMoodleSysConfigPresets* presets = AppConfig()->MoodleSysConfigPresets();
    if (presets->Count() > 0) {
        for (int i = 0; i < presets->Count(); ++i) {
            TConfigPreset* p = presets->Presets(i);
            QAction* item = FPopupMenuConnectMoodle->addAction(p->Title());
            item->setData(i);
            connect(item, &QAction::triggered, this, [this, i] {
                TMoodleSysConfigPresets* ps = AppConfig()->MoodleSysConfigPresets();
                if (i >= ps->Count())
                    return;
                ps->SetCurrPresetIndex(i);
                TConfigPreset* preset = ps->Presets(i);
                Guarded([&] { ConnectToMoodle(preset->Name(), preset->Title(), static_cast<TMoodleSysConfig*>(preset->Config())); });
            });
        }
        FPopupMenuConnectMoodle->addSeparator();
    }
    FPopupMenuConnectMoodle->addAction(ActionManageMoodleSites);
}

void TFormMain::SitePresetsChanged()
{
    FFrameBrowseClient->FollowSitePresets(AppConfig()->MoodleSysConfigPresets());
    RebuildSitesMenu();
    if (auto* welcome = qobject_cast<TFrameWelcome*>(FFrameBrowseClient->GetBrowserFrameByName(TFrameTabbedBrowseClient::WelcomeTabName)))
        welcome->RefreshWelcomePage();
    RebuildBookmarksMenu();
}

void TFormMain::RebuildBookmarksMenu()
{
    FPopupMenuBookmarks->clear();
    FPopupMenuBookmarks->addAction(ActionAddBookmark);
    FPopupMenuBookmarks->addAction(ActionManageBookmarks);
    FPopupMenuBookmarks->addSeparator();
    TMoodleSysConfig* site = CurrMoodleSysConfig();
    if (!site)
        return;
    TSiteBookmarkCollection* bookmarks = site->Bookmarks();
    for (int i = 0; i < bookmarks->Count(); ++i) {
        QAction* item = FPopupMenuBookmarks->addAction(bookmarks->BookmarkItems(i)->Title());
        item->setData(i);
        connect(item, &QAction::triggered, this, [this, i] {
            TFrameMainBrowser* f = CurrBrowserFrame();
            TMoodleSysConfig* s = CurrMoodleSysConfig();
            if (f && s && i < s->Bookmarks()->Count())
                f->NavigateWait(s->Bookmarks()->BookmarkItems(i)->Url());
        });
    }
}

void TFormMain::UpdateMainTitle(const QString& aTitle)
{
    if (aTitle.trimmed().isEmpty())
        setWindowTitle(QStringLiteral("Vantoli"));
    else
        setWindowTitle(QStringLiteral("%1 - %2").arg(aTitle, QStringLiteral("Vantoli")));
}

void TFormMain::BrowseClientWyswigEditorFocus(QObject*, const THtmlElement& frameElem)
{
    if (!frameElem)
        return;
    int contentClass;
    try {
        contentClass = static_cast<int>(TMoodleEditors::ContentOf(frameElem));
    } catch (const std::exception&) {
        return; // the editor went away under the event
    }
    const int setting = AppConfig()->GeneralConfig()->AutoOpenWordEditorOn();

    if (setting != TGeneralConfig::owNever && contentClass <= setting) {
        // As an action executes: its enabled state is brought up to date
        // first, and a disabled action does nothing.
        ActionListMainUpdate();
        ActionOpenWordEditor->trigger();
    }
}
