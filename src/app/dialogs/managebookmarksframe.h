#pragma once

#include <QFrame>
#include <QPoint>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TAppConfig;
class TFormEditBookmark;
class TMoodleSysConfig;
class TMoodleSysConfigPresets;
class TSiteBookmarkItem;

// All sites and their bookmarks as a two-level tree over the live bookmark
// collections: bookmarks are edited, deleted, and reordered by dragging one
// onto another bookmark of the same site. The tree order is the collection
// order, so the bookmark menu and the saved file follow it.
class TFrameManageBookmarks : public QFrame {
    Q_OBJECT
public:
    explicit TFrameManageBookmarks(QWidget* parent = nullptr);

    // The configuration root; the program's one when none was set.
    TAppConfig* AppConfig() const;
    void SetAppConfig(TAppConfig* value) { FAppConfig = value; }
    // The sites shown; AppConfig's site presets when none were set. Writing
    // rebuilds the tree.
    TMoodleSysConfigPresets* MoodleSysPresets() const;
    void SetMoodleSysPresets(TMoodleSysConfigPresets* value);
    // The site of the tab the manager was opened from, or none; writing
    // another one expands its node, selects it and collapses the others.
    TMoodleSysConfig* ActiveMoodleSysConfig() const { return FActiveMoodleSysConfig; }
    void SetActiveMoodleSysConfig(TMoodleSysConfig* value);

    QTreeWidget* TreeViewBookmarks() const { return FTreeViewBookmarks; }
    QPushButton* BtnEdit() const { return FBtnEdit; }
    QPushButton* BtnDelete() const { return FBtnDelete; }
    // Created on first use and kept.
    TFormEditBookmark* FormEditBookmark();

    static bool IsBookmarkNode(const QTreeWidgetItem* node);
    static TSiteBookmarkItem* BookmarkOf(const QTreeWidgetItem* node);
    static TMoodleSysConfig* SiteOf(const QTreeWidgetItem* node);
    QTreeWidgetItem* SelectedNode() const;

    void RebuildBookmarkTree();
    void UpdateBookmarkButtons();
    void EditSelectedBookmark();
    void DeleteSelectedBookmark();
    // The drag handlers of the tree. source is where the drag comes from and
    // pos is in the tree's viewport coordinates.
    bool TreeViewBookmarksDragOver(const QObject* source, const QPoint& pos) const;
    void TreeViewBookmarksDragDrop(const QObject* source, const QPoint& pos);

private:
    void Init();
    void SelectNode(QTreeWidgetItem* node);

    TAppConfig* FAppConfig = nullptr;
    TMoodleSysConfigPresets* FMoodleSysPresets = nullptr;
    TMoodleSysConfig* FActiveMoodleSysConfig = nullptr;
    QTreeWidget* FTreeViewBookmarks;
    QPushButton* FBtnEdit;
    QPushButton* FBtnDelete;
    TFormEditBookmark* FFormEditBookmark = nullptr; // child of this frame
};
