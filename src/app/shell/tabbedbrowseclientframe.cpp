#include "app/shell/tabbedbrowseclientframe.h"

#include "app/config/appconfigs.h"
#include "utillib/globalutils.h"
#include "web/embeddedwb.h"

#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

TFrameTabbedBrowseClient::TFrameTabbedBrowseClient(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FPageControl = new QTabWidget(this);
    FPageControl->setObjectName(QStringLiteral("PageControlClient"));
    FPageControl->setTabsClosable(true);
    FPageControl->setDocumentMode(true);
    layout->addWidget(FPageControl);
    connect(FPageControl, &QTabWidget::currentChanged, this, [this](int) { PageControlClientChange(); });
    connect(FPageControl, &QTabWidget::tabCloseRequested, this, [this](int index) {
        // A tab's close button acts on that tab: make it the active one first.
        FPageControl->setCurrentIndex(index);
        CloseCurrentTab();
    });
}

QWidget* TFrameTabbedBrowseClient::CurrTab() const
{
    return FPageControl->currentWidget();
}

TFrameMainBrowser* TFrameTabbedBrowseClient::CurrBrowserFrame() const
{
    return GetBrowserFrameAt(FPageControl->currentIndex());
}

QString TFrameTabbedBrowseClient::CurrTabName() const
{
    TFrameMainBrowser* f = CurrBrowserFrame();
    return f ? f->FrameId() : QString();
}

int TFrameTabbedBrowseClient::TabCount() const
{
    return FPageControl->count();
}

TFrameMainBrowser* TFrameTabbedBrowseClient::GetBrowserFrameOfTab(QWidget* sheet)
{
    if (!sheet)
        return nullptr;
    for (QObject* child : sheet->children())
        if (auto* f = qobject_cast<TFrameMainBrowser*>(child))
            return f;
    return nullptr;
}

TFrameMainBrowser* TFrameTabbedBrowseClient::GetBrowserFrameAt(int index) const
{
    return index < 0 ? nullptr : GetBrowserFrameOfTab(FPageControl->widget(index));
}

TFrameMainBrowser* TFrameTabbedBrowseClient::GetBrowserFrameByName(const QString& aName) const
{
    int i = IndexOfFrameByName(aName);
    return i >= 0 ? GetBrowserFrameAt(i) : nullptr;
}

int TFrameTabbedBrowseClient::IndexOfFrameByName(const QString& aName) const
{
    for (int i = 0; i < FPageControl->count(); ++i)
        if (TFrameMainBrowser* f = GetBrowserFrameAt(i); f && f->FrameId() == aName)
            return i;
    return -1;
}

QWidget* TFrameTabbedBrowseClient::CreateBrowserTab(const QString& aName, const QString& aTitle, const QString& aUrl,
                                                    TMoodleSysConfig* moodleConfig, const TFrameMainBrowserClass& frameClass)
{
    int existing = IndexOfFrameByName(aName);
    if (existing >= 0) {
        const bool changed = FPageControl->currentIndex() != existing;
        {
            const QSignalBlocker block(FPageControl);
            FPageControl->setCurrentIndex(existing);
        }
        if (!aUrl.isEmpty())
            GetBrowserFrameAt(existing)->NavigateWait(aUrl);
        // The window's title and bookmarks follow the page that is shown now.
        if (changed)
            PageControlClientChange();
        return FPageControl->widget(existing);
    }

    // Tabs and frames are named after the preset; names that could not name
    // a component are refused with a message the user can act on.
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!identifier.match(aName).hasMatch())
        throw EVantoliException(QStringLiteral("The site \"%1\" cannot be opened: its preset name \"%2\" may hold only "
                                               "letters, digits and \"_\", and may not begin with a digit. "
                                               "Change the name in Settings.")
                                    .arg(aTitle, aName));

    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("Tab_") + aName);
    auto* sheetLayout = new QVBoxLayout(sheet);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    TFrameMainBrowser* frame = frameClass ? frameClass(sheet) : new TFrameMainBrowser(sheet);
    frame->setParent(sheet);
    frame->Init();
    frame->SetMoodleConfig(moodleConfig);
    sheetLayout->addWidget(frame);
    frame->SetFrameId(aName);
    frame->setObjectName(QStringLiteral("Frame_") + aName);
    frame->SetPresetTitle(aTitle);

    connect(frame, &TFrameMainBrowser::OnElementFocus, this, &TFrameTabbedBrowseClient::OnElementFocus);
    connect(frame, &TFrameMainBrowser::OnWyswigEditorFocus, this, &TFrameTabbedBrowseClient::OnWyswigEditorFocus);
    connect(frame, &TFrameMainBrowser::OnDocumentComplete, this, [this](QObject* sender) {
        if (sender == CurrBrowserFrame())
            Q_EMIT OnCurrBrowserDocComplete(sender);
    });

    int index;
    {
        const QSignalBlocker block(FPageControl);
        index = FPageControl->addTab(sheet, aTitle);
    }
    if (!aUrl.isEmpty())
        frame->NavigateWait(aUrl);
    {
        const QSignalBlocker block(FPageControl);
        FPageControl->setCurrentIndex(index);
    }
    // Every new tab becomes the current one, so the window follows it (the
    // first one included).
    PageControlClientChange();
    return sheet;
}

QWidget* TFrameTabbedBrowseClient::CreateWelcomeTab()
{
    FWelcomeTab = CreateBrowserTab(WelcomeTabName, WelcomeTitle, QString(), nullptr, FWelcomeFrameClass);
    return FWelcomeTab;
}

void TFrameTabbedBrowseClient::ShowWelcomeTab()
{
    if (!FWelcomeTab) {
        CreateWelcomeTab();
        return;
    }
    SetWelcomeTabVisible(true);
    {
        const QSignalBlocker block(FPageControl);
        FPageControl->setCurrentWidget(FWelcomeTab);
    }
    PageControlClientChange();
}

void TFrameTabbedBrowseClient::SetWelcomeTabVisible(bool value)
{
    if (!FWelcomeTab)
        return;
    int i = FPageControl->indexOf(FWelcomeTab);
    if (i >= 0)
        FPageControl->setTabVisible(i, value);
}

void TFrameTabbedBrowseClient::PageControlClientChange()
{
    Q_EMIT OnCurrTabChange(this);
    Q_EMIT OnCurrBrowserChange(this);
}

bool TFrameTabbedBrowseClient::PageControlClientClose(int index)
{
    TFrameMainBrowser* frame = GetBrowserFrameAt(index);
    QWidget* page = FPageControl->widget(index);
    const bool canClose = frame && !frame->Browser()->Busy()
        && !(FPageControl->count() == 1 && page == FWelcomeTab);
    FFreeOnClose = page != FWelcomeTab;
    return canClose;
}

void TFrameTabbedBrowseClient::CloseCurrentTab()
{
    const int index = FPageControl->currentIndex();
    if (index < 0 || !PageControlClientClose(index))
        return;
    QWidget* page = FPageControl->widget(index);
    {
        const QSignalBlocker block(FPageControl);
        if (FFreeOnClose) {
            FPageControl->removeTab(index);
            page->deleteLater();
        } else {
            FPageControl->setTabVisible(index, false);
        }
    }
    PageControlClientAfterClose();
}

void TFrameTabbedBrowseClient::PageControlClientAfterClose()
{
    if (FPageControl->count() == 0) {
        ShowWelcomeTab();
    } else if (FPageControl->count() == 1 && FPageControl->widget(0) == FWelcomeTab) {
        SetWelcomeTabVisible(true);
    }
    PageControlClientChange();
}

void TFrameTabbedBrowseClient::FollowSitePresets(TMoodleSysConfigPresets* presets)
{
    bool changed = false;
    for (int i = FPageControl->count() - 1; i >= 0; --i) {
        TFrameMainBrowser* frame = GetBrowserFrameAt(i);
        QWidget* page = FPageControl->widget(i);
        if (!frame || page == FWelcomeTab || !frame->IsSiteFrame())
            continue;
        TConfigPreset* preset = nullptr;
        if (TMoodleSysConfig* site = frame->MoodleConfig())
            for (int j = 0; j < presets->Count() && !preset; ++j)
                if (presets->Presets(j)->Config() == site)
                    preset = presets->Presets(j);
        if (!preset) {
            frame->Stop();
            {
                const QSignalBlocker block(FPageControl);
                FPageControl->removeTab(i);
            }
            page->deleteLater();
            changed = true;
            continue;
        }
        if (frame->FrameId() != preset->Name()) {
            frame->SetFrameId(preset->Name());
            frame->setObjectName(QStringLiteral("Frame_") + preset->Name());
            page->setObjectName(QStringLiteral("Tab_") + preset->Name());
            changed = true;
        }
        if (frame->PresetTitle() != preset->Title() || FPageControl->tabText(i) != preset->Title()) {
            frame->SetPresetTitle(preset->Title());
            FPageControl->setTabText(i, preset->Title());
            changed = true;
        }
    }
    if (changed)
        PageControlClientAfterClose();
}
