#include "app/dialogs/managebookmarksframe.h"

#include "app/config/appconfigs.h"
#include "app/config/sitebookmarks.h"
#include "app/dialogs/appmessages.h"
#include "app/dialogs/editbookmarkform.h"
#include "app/shell/globaldm.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int NodeDataRole = Qt::UserRole + 1;

// The tree hands drags over and drops to the frame's handlers and moves
// nothing by itself: the frame keeps the tree and the collections in step.
class TBookmarkTree : public QTreeWidget {
public:
    TBookmarkTree(QWidget* parent, TFrameManageBookmarks* frame) : QTreeWidget(parent), FFrame(frame) {}

protected:
    void startDrag(Qt::DropActions) override
    {
        if (!currentItem())
            return;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setData(QStringLiteral("application/x-vantoli-bookmark"), QByteArray());
        drag->setMimeData(data);
        drag->exec(Qt::MoveAction);
    }
    void dragEnterEvent(QDragEnterEvent* e) override
    {
        if (e->source() == this)
            e->acceptProposedAction();
        else
            e->ignore();
    }
    void dragMoveEvent(QDragMoveEvent* e) override
    {
        if (FFrame->TreeViewBookmarksDragOver(e->source(), e->position().toPoint()))
            e->acceptProposedAction();
        else
            e->ignore();
    }
    void dropEvent(QDropEvent* e) override
    {
        const QPoint pos = e->position().toPoint();
        if (FFrame->TreeViewBookmarksDragOver(e->source(), pos)) {
            FFrame->TreeViewBookmarksDragDrop(e->source(), pos);
            e->acceptProposedAction();
        } else {
            e->ignore();
        }
    }

private:
    TFrameManageBookmarks* FFrame;
};

} // namespace

TFrameManageBookmarks::TFrameManageBookmarks(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("FrameManageBookmarks"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FTreeViewBookmarks = new TBookmarkTree(this, this);
    FTreeViewBookmarks->setObjectName(QStringLiteral("TreeViewBookmarks"));
    FTreeViewBookmarks->setHeaderHidden(true);
    FTreeViewBookmarks->setIndentation(19);
    FTreeViewBookmarks->setSelectionMode(QAbstractItemView::SingleSelection);
    FTreeViewBookmarks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTreeViewBookmarks->setDragEnabled(true);
    FTreeViewBookmarks->setAcceptDrops(true);
    FTreeViewBookmarks->setDropIndicatorShown(true);
    FTreeViewBookmarks->setDragDropMode(QAbstractItemView::DragDrop);
    FTreeViewBookmarks->setExpandsOnDoubleClick(false);
    layout->addWidget(FTreeViewBookmarks, 1);

    auto* buttons = new QVBoxLayout;
    FBtnEdit = new QPushButton(QStringLiteral("&Edit"), this);
    FBtnEdit->setObjectName(QStringLiteral("BtnEdit"));
    FBtnDelete = new QPushButton(QStringLiteral("&Delete"), this);
    FBtnDelete->setObjectName(QStringLiteral("BtnDelete"));
    for (QPushButton* b : {FBtnEdit, FBtnDelete}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(FBtnEdit, &QPushButton::clicked, this, [this] { TAppMessages::Guard(this, [this] { EditSelectedBookmark(); }); });
    connect(FTreeViewBookmarks, &QTreeWidget::itemDoubleClicked, this,
            [this] { TAppMessages::Guard(this, [this] { EditSelectedBookmark(); }); });
    connect(FBtnDelete, &QPushButton::clicked, this, [this] { TAppMessages::Guard(this, [this] { DeleteSelectedBookmark(); }); });
    connect(FTreeViewBookmarks, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateBookmarkButtons(); });
    connect(FTreeViewBookmarks, &QTreeWidget::itemClicked, this, [this] { UpdateBookmarkButtons(); });
    Init();
}

void TFrameManageBookmarks::Init()
{
    UpdateBookmarkButtons();
}

TAppConfig* TFrameManageBookmarks::AppConfig() const
{
    return FAppConfig ? FAppConfig : ::AppConfig();
}

TMoodleSysConfigPresets* TFrameManageBookmarks::MoodleSysPresets() const
{
    return FMoodleSysPresets ? FMoodleSysPresets : AppConfig()->MoodleSysConfigPresets();
}

void TFrameManageBookmarks::SetMoodleSysPresets(TMoodleSysConfigPresets* value)
{
    FMoodleSysPresets = value;
    RebuildBookmarkTree();
}

void TFrameManageBookmarks::SetActiveMoodleSysConfig(TMoodleSysConfig* value)
{
    if (FActiveMoodleSysConfig == value)
        return;
    FActiveMoodleSysConfig = value;
    if (!value)
        return;
    for (int i = 0; i < FTreeViewBookmarks->topLevelItemCount(); ++i) {
        QTreeWidgetItem* site = FTreeViewBookmarks->topLevelItem(i);
        const bool active = SiteOf(site) == value;
        site->setExpanded(active);
        if (active)
            SelectNode(site);
    }
    UpdateBookmarkButtons();
}

TFormEditBookmark* TFrameManageBookmarks::FormEditBookmark()
{
    if (!FFormEditBookmark)
        FFormEditBookmark = new TFormEditBookmark(this);
    return FFormEditBookmark;
}

bool TFrameManageBookmarks::IsBookmarkNode(const QTreeWidgetItem* node)
{
    return node && node->parent() && !node->parent()->parent();
}

TSiteBookmarkItem* TFrameManageBookmarks::BookmarkOf(const QTreeWidgetItem* node)
{
    return IsBookmarkNode(node) ? static_cast<TSiteBookmarkItem*>(node->data(0, NodeDataRole).value<QObject*>()) : nullptr;
}

TMoodleSysConfig* TFrameManageBookmarks::SiteOf(const QTreeWidgetItem* node)
{
    return node && !node->parent() ? static_cast<TMoodleSysConfig*>(node->data(0, NodeDataRole).value<QObject*>())
                                   : nullptr;
}

QTreeWidgetItem* TFrameManageBookmarks::SelectedNode() const
{
    const QList<QTreeWidgetItem*> selected = FTreeViewBookmarks->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TFrameManageBookmarks::SelectNode(QTreeWidgetItem* node)
{
    const QSignalBlocker block(FTreeViewBookmarks);
    FTreeViewBookmarks->clearSelection();
    FTreeViewBookmarks->setCurrentItem(node);
    if (node)
        node->setSelected(true);
}

void TFrameManageBookmarks::RebuildBookmarkTree()
{
    {
        const QSignalBlocker block(FTreeViewBookmarks);
        FTreeViewBookmarks->clear();
    }
    TMoodleSysConfigPresets* presets = MoodleSysPresets();
    TDmGlobal* dm = DmGlobal();
    for (int i = 0; presets && i < presets->Count(); ++i) {
        TConfigPreset* preset = presets->Presets(i);
        auto* config = qobject_cast<TMoodleSysConfig*>(preset->Config());
        auto* site = new QTreeWidgetItem(FTreeViewBookmarks, {preset->Title()});
        site->setData(0, NodeDataRole, QVariant::fromValue<QObject*>(config));
        site->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled);
        if (dm)
            site->setIcon(0, dm->ImageListActions16(TDmGlobal::iaSiteNode));
        TSiteBookmarkCollection* bookmarks = config ? config->Bookmarks() : nullptr;
        for (int j = 0; bookmarks && j < bookmarks->Count(); ++j) {
            TSiteBookmarkItem* bookmark = bookmarks->BookmarkItems(j);
            auto* node = new QTreeWidgetItem(site, {bookmark->Title()});
            node->setData(0, NodeDataRole, QVariant::fromValue<QObject*>(bookmark));
            node->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
            if (dm)
                node->setIcon(0, dm->ImageListActions16(TDmGlobal::iaBookmarkNode));
        }
        if (FActiveMoodleSysConfig) {
            if (config == FActiveMoodleSysConfig) {
                SelectNode(site);
                site->setExpanded(true);
            } else {
                site->setExpanded(false);
            }
        }
    }
    UpdateBookmarkButtons();
}

void TFrameManageBookmarks::UpdateBookmarkButtons()
{
    FBtnEdit->setEnabled(IsBookmarkNode(SelectedNode()));
    FBtnDelete->setEnabled(FBtnEdit->isEnabled());
}

void TFrameManageBookmarks::EditSelectedBookmark()
{
    QTreeWidgetItem* node = SelectedNode();
    TSiteBookmarkItem* bookmark = BookmarkOf(node);
    if (!bookmark)
        return;
    TFormEditBookmark* form = FormEditBookmark();
    if (!form->Execute(node->parent()->text(0), bookmark->Title(), bookmark->Url(), TBookmarkModifyMode::bmEdit))
        return;
    bookmark->SetTitle(form->BookmarkTitle());
    bookmark->SetUrl(form->BookmarkUrl());
    node->setText(0, bookmark->Title());
}

void TFrameManageBookmarks::DeleteSelectedBookmark()
{
    QTreeWidgetItem* node = SelectedNode();
    TSiteBookmarkItem* bookmark = BookmarkOf(node);
    if (!bookmark)
        return;
    QTreeWidgetItem* site = node->parent();
    const int row = site->indexOfChild(node);
    QTreeWidgetItem* next = row > 0 ? site->child(row - 1) : site->child(row + 1);
    {
        const QSignalBlocker block(FTreeViewBookmarks);
        delete node;
    }
    TCollection* bookmarks = bookmark->Collection();
    bookmarks->Delete(bookmarks->IndexOf(bookmark));
    SelectNode(next);
    UpdateBookmarkButtons();
}

bool TFrameManageBookmarks::TreeViewBookmarksDragOver(const QObject* source, const QPoint& pos) const
{
    if (source != FTreeViewBookmarks)
        return false;
    QTreeWidgetItem* target = FTreeViewBookmarks->itemAt(pos);
    QTreeWidgetItem* dragged = SelectedNode();
    if (!target || !IsBookmarkNode(dragged))
        return false;
    return target != dragged->parent() && target->parent() == dragged->parent() && target != dragged;
}

void TFrameManageBookmarks::TreeViewBookmarksDragDrop(const QObject* source, const QPoint& pos)
{
    if (!TreeViewBookmarksDragOver(source, pos))
        return;
    QTreeWidgetItem* target = FTreeViewBookmarks->itemAt(pos);
    QTreeWidgetItem* dragged = SelectedNode();
    TSiteBookmarkItem* draggedBookmark = BookmarkOf(dragged);
    TSiteBookmarkItem* targetBookmark = BookmarkOf(target);
    if (!draggedBookmark || !targetBookmark)
        return;
    const int iT = targetBookmark->Index();
    const int iD = draggedBookmark->Index();
    QTreeWidgetItem* site = dragged->parent();
    {
        const QSignalBlocker block(FTreeViewBookmarks);
        FTreeViewBookmarks->setUpdatesEnabled(false);
        site->takeChild(site->indexOfChild(dragged));
        // Taken out, the dragged node no longer counts; the target's row is
        // where an upward move lands, the row after it where a downward one does.
        const int targetRow = site->indexOfChild(target);
        site->insertChild(iT < iD ? targetRow : targetRow + 1, dragged);
        draggedBookmark->SetIndex(iT);
        FTreeViewBookmarks->setUpdatesEnabled(true);
    }
    SelectNode(dragged);
    UpdateBookmarkButtons();
}
