#include "app/dialogs/editpresetsframe.h"

#include "app/dialogs/appmessages.h"
#include "app/dialogs/controlutil.h"
#include "app/shell/globaldm.h"
#include "utillib/configutils.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int BasePresetsHeight = 122;
constexpr int ItemHeight = 30;
constexpr int SplitterHeight = 3;
constexpr int MinPresetsHeight = 70;
constexpr int MinDetailsHeight = 80;

// Paints a list item as its title in bold over its description.
class TPresetItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString title = opt.text;
        opt.text.clear();
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

        const bool selected = opt.state.testFlag(QStyle::State_Selected);
        const QPalette::ColorGroup group = opt.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        const QColor text = opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
        QRect r = opt.rect.adjusted(6, 1, -4, -1);
        const int half = r.height() / 2;
        painter->save();
        QFont bold = opt.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(text);
        painter->drawText(QRect(r.left(), r.top(), r.width(), half), Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(bold).elidedText(title, Qt::ElideRight, r.width()));
        painter->setFont(opt.font);
        QColor dim = text;
        if (!selected)
            dim.setAlpha(170);
        painter->setPen(dim);
        const QString caption = index.data(TFrameEditPresets::CaptionRole).toString();
        painter->drawText(QRect(r.left(), r.top() + half, r.width(), r.height() - half), Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(opt.font).elidedText(caption.simplified(), Qt::ElideRight, r.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), ItemHeight};
    }
};

// A thin bar under the list with which the user sets the list's height.
class TPresetsSplitter : public QWidget {
public:
    TPresetsSplitter(QWidget* parent, TFrameEditPresets* frame) : QWidget(parent), FFrame(frame)
    {
        setObjectName(QStringLiteral("bsSkinSplitter1"));
        setFixedHeight(SplitterHeight);
        setCursor(Qt::SplitVCursor);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton) {
            FDragging = true;
            FStartY = e->globalPosition().toPoint().y();
            FStartHeight = FFrame->PresetsHeight();
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!FDragging)
            return;
        // The details keep room for their controls.
        const int limit = qMax(MinPresetsHeight, FFrame->height() - SplitterHeight - MinDetailsHeight);
        FFrame->SetPresetsHeight(qMin(limit, FStartHeight + e->globalPosition().toPoint().y() - FStartY));
    }
    void mouseReleaseEvent(QMouseEvent*) override { FDragging = false; }

private:
    TFrameEditPresets* FFrame;
    bool FDragging = false;
    int FStartY = 0;
    int FStartHeight = 0;
};

} // namespace

TFrameEditPresets::TFrameEditPresets(QWidget* parent) : QFrame(parent)
{
    BuildFrame();
    InitFrame();
}

TFrameEditPresets::TFrameEditPresets(QWidget* parent, TDeferInit) : QFrame(parent)
{
    BuildFrame();
}

TFrameEditPresets::~TFrameEditPresets()
{
    DoneFrame();
    // The children are destroyed after this body; their focus changes must
    // not reach handlers of a frame that is going away.
    for (auto& [obj, handler] : FExitHandlers)
        obj->removeEventFilter(this);
    FExitHandlers.clear();
}

void TFrameEditPresets::BuildFrame()
{
    setObjectName(QStringLiteral("FrameEditPresets"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    FGroupBoxPresets = new QGroupBox(QStringLiteral("Presets"), this);
    FGroupBoxPresets->setObjectName(QStringLiteral("GroupBoxPresets"));
    FGroupBoxPresets->setFixedHeight(BasePresetsHeight);
    auto* presetsLayout = new QHBoxLayout(FGroupBoxPresets);
    FListBoxPresets = new QListWidget(FGroupBoxPresets);
    FListBoxPresets->setObjectName(QStringLiteral("ListBoxPresets"));
    FListBoxPresets->setItemDelegate(new TPresetItemDelegate(FListBoxPresets));
    FListBoxPresets->setSelectionMode(QAbstractItemView::SingleSelection);
    FListBoxPresets->setUniformItemSizes(true);
    presetsLayout->addWidget(FListBoxPresets, 1);
    auto* buttons = new QVBoxLayout;
    FBtnAddPreset = new QPushButton(QStringLiteral("&New"), FGroupBoxPresets);
    FBtnAddPreset->setObjectName(QStringLiteral("BtnAddPreset"));
    FBtnRemovePreset = new QPushButton(QStringLiteral("&Remove"), FGroupBoxPresets);
    FBtnRemovePreset->setObjectName(QStringLiteral("BtnRemovePreset"));
    if (TDmGlobal* dm = DmGlobal()) {
        FBtnAddPreset->setIcon(dm->ImageListActions16(TDmGlobal::iaNew));
        FBtnRemovePreset->setIcon(dm->ImageListActions16(TDmGlobal::iaRemove));
    }
    for (QPushButton* b : {FBtnAddPreset, FBtnRemovePreset}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    presetsLayout->addLayout(buttons);
    layout->addWidget(FGroupBoxPresets);

    FSplitter = new TPresetsSplitter(this, this);
    layout->addWidget(FSplitter);

    FGroupboxDetails = new QGroupBox(QStringLiteral("Details"), this);
    FGroupboxDetails->setObjectName(QStringLiteral("GroupboxDetails"));
    FDetailsLayout = new QGridLayout(FGroupboxDetails);
    FEditPresetTitle = new QLineEdit(FGroupboxDetails);
    FEditPresetTitle->setObjectName(QStringLiteral("EditPresetTitle"));
    auto* labelTitle = new QLabel(QStringLiteral("&Title:"), FGroupboxDetails);
    labelTitle->setBuddy(FEditPresetTitle);
    FMemoPresetDescription = new QPlainTextEdit(FGroupboxDetails);
    FMemoPresetDescription->setObjectName(QStringLiteral("MemoPresetDescription"));
    FMemoPresetDescription->setFixedHeight(49);
    FMemoPresetDescription->setTabChangesFocus(true);
    FMemoPresetDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FMemoPresetDescription->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FMemoPresetDescription->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* labelDescription = new QLabel(QStringLiteral("&Description:"), FGroupboxDetails);
    labelDescription->setBuddy(FMemoPresetDescription);
    FDetailsLayout->addWidget(labelTitle, 0, 0);
    FDetailsLayout->addWidget(FEditPresetTitle, 0, 1);
    FDetailsLayout->addWidget(labelDescription, 1, 0, Qt::AlignTop);
    FDetailsLayout->addWidget(FMemoPresetDescription, 1, 1);
    FDetailsLayout->setColumnStretch(1, 1);
    layout->addWidget(FGroupboxDetails, 1);

    connect(FBtnAddPreset, &QPushButton::clicked, this, [this] { BtnAddPresetClick(); });
    connect(FBtnRemovePreset, &QPushButton::clicked, this, [this] { BtnRemovePresetClick(); });
    connect(FListBoxPresets, &QListWidget::itemSelectionChanged, this, [this] { ListBoxPresetsClick(); });
    SetExitHandler(FEditPresetTitle, [this] { EditPresetTitleExit(); });
    SetExitHandler(FMemoPresetDescription, [this] { MemoPresetDescriptionExit(); });
    GuardPress(FListBoxPresets->viewport());
    GuardPress(FBtnAddPreset);
    GuardPress(FBtnRemovePreset);
}

void TFrameEditPresets::InitFrame()
{
    // Esc in any control of the details puts back what the preset holds.
    for (QObject* child : FGroupboxDetails->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && w->focusPolicy() != Qt::NoFocus && !FEscControls.contains(w)) {
            FEscControls.append(w);
            w->installEventFilter(this);
        }
    }
    UpdateControlStates();
}

void TFrameEditPresets::SetExitHandler(QWidget* ctrl, std::function<void()> handler)
{
    FExitHandlers[ctrl] = std::move(handler);
    ctrl->installEventFilter(this);
}

void TFrameEditPresets::GuardPress(QWidget* w)
{
    QWidget* focusTarget = w;
    if (auto* view = qobject_cast<QAbstractScrollArea*>(w->parentWidget()); view && view->viewport() == w)
        focusTarget = view;
    FGuardedPresses[w] = focusTarget;
    w->installEventFilter(this);
}

bool TFrameEditPresets::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusOut: {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            break;
        auto it = FExitHandlers.find(watched);
        if (it != FExitHandlers.end()) {
            const std::function<void()> handler = it->second;
            TAppMessages::Guard(this, handler);
        }
        break;
    }
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && FEscControls.contains(watched))
            RevertPresetDetails();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto it = FGuardedPresses.find(watched);
        if (it != FGuardedPresses.end()) {
            QWidget* target = it->second;
            QWidget* focus = QApplication::focusWidget();
            // The press has already moved the focus when the target takes
            // focus by click; a focus left elsewhere means an exit handler
            // refused to let it go.
            const bool takesFocus = target->isEnabled() && (target->focusPolicy() & Qt::ClickFocus);
            if (takesFocus && focus && focus != target && FExitHandlers.count(focus))
                return true;
        }
        break;
    }
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}

void TFrameEditPresets::SetConfigPresets(TConfigPresets* value)
{
    if (FConfigPresets == value)
        return;
    FConfigPresets = value;
    RebuildPresetList();
}

void TFrameEditPresets::SetCurrPreset(TConfigPreset* value)
{
    if (FCurrPreset == value)
        return;
    FCurrPreset = value;
    ShowPresetDetails(value);
}

QListWidgetItem* TFrameEditPresets::CurrPresetListItem() const
{
    const QList<QListWidgetItem*> selected = FListBoxPresets->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QString TFrameEditPresets::PresetsLabelCaption() const
{
    return FGroupBoxPresets->title();
}

void TFrameEditPresets::SetPresetsLabelCaption(const QString& value)
{
    FGroupBoxPresets->setTitle(value);
}

int TFrameEditPresets::PresetsHeight() const
{
    return FGroupBoxPresets->height();
}

void TFrameEditPresets::SetPresetsHeight(int value)
{
    FGroupBoxPresets->setFixedHeight(qMax(MinPresetsHeight, value));
}

QString TFrameEditPresets::GetPresetItemTitle(TConfigPreset* preset)
{
    return preset->Title();
}

QString TFrameEditPresets::GetPresetItemDescription(TConfigPreset* preset)
{
    return preset->Description();
}

void TFrameEditPresets::ShowPresetDetails(TConfigPreset* preset)
{
    FEditPresetTitle->setText(preset ? preset->Title() : QString());
    FMemoPresetDescription->setPlainText(preset ? preset->Description() : QString());
}

TConfigPreset* TFrameEditPresets::CreateNewPreset()
{
    return FConfigPresets ? FConfigPresets->Add() : nullptr;
}

bool TFrameEditPresets::DeleteCurrPreset()
{
    if (!FCurrPreset || !FConfigPresets)
        return false;
    const int index = FConfigPresets->IndexOf(FCurrPreset);
    if (index < 0)
        return false;
    FCurrPreset = nullptr; // freed by the collection at once
    FConfigPresets->Delete(index);
    return true;
}

bool TFrameEditPresets::CanDeletePreset(TConfigPreset* preset)
{
    return preset != nullptr;
}

void TFrameEditPresets::UpdateControlStates()
{
    FBtnRemovePreset->setEnabled(FListBoxPresets->count() > 0 && CurrPresetListItem() != nullptr);
}

void TFrameEditPresets::AssignDetailValue(QWidget* ctrl, const QVariant& value, const QString& destPropName,
                                          QObject* destObj)
{
    if (ctrl && destObj)
        TControlUtil::AssignCtrlValueTo(ctrl, value, destObj, destPropName, true);
    RefreshCurrPresetListItem();
}

void TFrameEditPresets::AssignDetailValue(QWidget* ctrl, const QString& ctrlProp, const QString& destPropName,
                                          QObject* destObj)
{
    if (ctrl && destObj)
        TControlUtil::AssignCtrlValueTo(ctrl, ctrlProp, destObj, destPropName, true);
    RefreshCurrPresetListItem();
}

TConfigPreset* TFrameEditPresets::PresetOf(const QListWidgetItem* item)
{
    return item ? static_cast<TConfigPreset*>(item->data(PresetRole).value<QObject*>()) : nullptr;
}

void TFrameEditPresets::SelectRow(int row)
{
    ++FSelecting;
    FListBoxPresets->clearSelection();
    FListBoxPresets->setCurrentRow(row);
    if (QListWidgetItem* item = FListBoxPresets->item(row))
        item->setSelected(true);
    --FSelecting;
}

void TFrameEditPresets::RebuildPresetList()
{
    const int remembered = FListBoxPresets->currentRow();
    ++FSelecting;
    FListBoxPresets->clear();
    if (FConfigPresets) {
        for (int i = 0; i < FConfigPresets->Count(); ++i) {
            auto* item = new QListWidgetItem(FListBoxPresets);
            FillPresetListItem(FConfigPresets->Presets(i), item);
        }
    }
    --FSelecting;
    if (FListBoxPresets->count() == 0) {
        FCurrPreset = nullptr;
        ShowPresetDetails(nullptr);
    } else {
        const int row = qBound(0, remembered, FListBoxPresets->count() - 1);
        SelectRow(row);
        FCurrPreset = PresetOf(FListBoxPresets->item(row));
        ShowPresetDetails(FCurrPreset);
    }
    UpdateControlStates();
}

void TFrameEditPresets::FillPresetListItem(TConfigPreset* preset, QListWidgetItem* item)
{
    if (!preset || !item)
        return;
    QString title = GetPresetItemTitle(preset);
    if (title.trimmed().isEmpty())
        title = UntitledText;
    QString caption = GetPresetItemDescription(preset);
    if (caption.trimmed().isEmpty())
        caption = NoDescriptionText;
    item->setText(title);
    item->setData(CaptionRole, caption);
    item->setData(PresetRole, QVariant::fromValue<QObject*>(preset));
    item->setToolTip(caption);
}

void TFrameEditPresets::RefreshCurrPresetListItem()
{
    FillPresetListItem(FCurrPreset, CurrPresetListItem());
}

void TFrameEditPresets::AddNewPreset()
{
    TConfigPreset* preset = CreateNewPreset();
    if (!preset)
        return;
    ++FSelecting;
    auto* item = new QListWidgetItem(FListBoxPresets);
    FillPresetListItem(preset, item);
    --FSelecting;
    SelectRow(FListBoxPresets->count() - 1);
    SetCurrPreset(preset);
    UpdateControlStates();
}

void TFrameEditPresets::RemoveCurrPreset()
{
    int row = FListBoxPresets->currentRow();
    if (!CurrPresetListItem())
        row = -1;
    if (FCurrPreset && row >= 0) {
        if (!CanDeletePreset(FCurrPreset))
            return;
        if (DeleteCurrPreset()) {
            ++FSelecting;
            delete FListBoxPresets->takeItem(row);
            --FSelecting;
            const int n = FListBoxPresets->count();
            if (row >= n)
                row = n - 1;
            SelectRow(row);
            // The deleted preset is gone; show the new one even if the
            // pointer happens to be reused.
            FCurrPreset = nullptr;
            TConfigPreset* next = row >= 0 ? PresetOf(FListBoxPresets->item(row)) : nullptr;
            FCurrPreset = next;
            ShowPresetDetails(next);
        }
    }
    UpdateControlStates();
}

void TFrameEditPresets::RevertPresetDetails()
{
    if (FCurrPreset)
        ShowPresetDetails(FCurrPreset);
}

void TFrameEditPresets::BtnAddPresetClick()
{
    TAppMessages::Guard(this, [this] { AddNewPreset(); });
}

void TFrameEditPresets::BtnRemovePresetClick()
{
    TAppMessages::Guard(this, [this] { RemoveCurrPreset(); });
}

void TFrameEditPresets::ListBoxPresetsClick()
{
    if (FSelecting)
        return;
    SetCurrPreset(PresetOf(CurrPresetListItem()));
    UpdateControlStates();
}

void TFrameEditPresets::EditPresetTitleExit()
{
    if (!FCurrPreset)
        return;
    TControlUtil::AssignCtrlValueTo(FEditPresetTitle, QStringLiteral("text"), FCurrPreset, QStringLiteral("Title"), true);
    RefreshCurrPresetListItem();
}

void TFrameEditPresets::MemoPresetDescriptionExit()
{
    if (!FCurrPreset)
        return;
    TControlUtil::AssignCtrlValueTo(FMemoPresetDescription, QStringLiteral("plainText"), FCurrPreset,
                                    QStringLiteral("Description"), true);
    RefreshCurrPresetListItem();
}
