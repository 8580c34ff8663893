#include "dialogstest.h"

#include "app/config/appconfigs.h"
#include "app/config/sitebookmarks.h"
#include "app/dialogs/editbookmarkform.h"
#include "app/dialogs/managebookmarksform.h"
#include "app/dialogs/managebookmarksframe.h"
#include "testutil.h"
#include "utillib/placementstore.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

class EditBookmarkTest : public DialogsTest {
protected:
    // Runs Execute with a handler for the open dialog; answers its result.
    bool Run(TBookmarkModifyMode mode, const QString& title, const QString& url,
             const std::function<void(TFormEditBookmark*)>& act, ModalWatcher** watcherOut = nullptr)
    {
        ModalWatcher watcher([&](QWidget* w) {
            auto* form = qobject_cast<TFormEditBookmark*>(w);
            ASSERT_EQ(form, &dialog);
            act(form);
        });
        if (watcherOut)
            *watcherOut = &watcher;
        const bool ok = dialog.Execute("My School", title, url, mode);
        EXPECT_FALSE(watcher.TimedOut);
        messages = watcher.Messages;
        return ok;
    }
    static void Retype(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            QTest::keyClicks(edit, text);
    }
    TFormEditBookmark dialog;
    QStringList messages;
};

} // namespace

TEST_F(EditBookmarkTest, AddModeShowsThePageWithTheAddressFixed)
{
    QString caption;
    bool urlEnabled = true;
    QString site, title, url;
    const bool ok = Run(TBookmarkModifyMode::bmAdd, "Course page", "https://m.example/course/view.php?id=2",
                        [&](TFormEditBookmark* f) {
                            caption = f->windowTitle();
                            urlEnabled = f->EditUrl()->isEnabled();
                            site = f->LabelSite()->text();
                            title = f->EditTitle()->text();
                            url = f->EditUrl()->text();
                            EXPECT_TRUE(f->EditTitle()->hasFocus());
                            QTest::keyClick(f->EditTitle(), Qt::Key_Return);
                        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(caption, "Add Bookmark");
    EXPECT_FALSE(urlEnabled);
    EXPECT_EQ(site, "My School");
    EXPECT_EQ(title, "Course page");
    EXPECT_EQ(url, "https://m.example/course/view.php?id=2");
    EXPECT_EQ(dialog.BtnDone()->text(), "&Done");
    EXPECT_EQ(dialog.BtnCancel()->text(), "&Cancel");
}

TEST_F(EditBookmarkTest, DoneWithBlankValuesKeepsTheDialogOpenWithTheFocusOnTheOffendingField)
{
    struct Case {
        const char* name;
        QString title, url;
        QString message;
        bool focusOnTitle;
    };
    const Case cases[] = {
        {"blank title", "  ", "https://m.example/", "Bookmark title can not be empty", true},
        {"both blank: only the title is reported", "", " ", "Bookmark title can not be empty", true},
        {"blank address", "Home", "   ", "Bookmark URL can not be empty", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool stayedOpen = false, focusRight = false;
        const bool ok = Run(TBookmarkModifyMode::bmEdit, "Old", "https://old.example/", [&](TFormEditBookmark* f) {
            Retype(f->EditTitle(), c.title);
            Retype(f->EditUrl(), c.url);
            QTest::mouseClick(f->BtnDone(), Qt::LeftButton);
            // The error box comes and goes; the dialog stays.
            testutil::waitUntil([&] { return QApplication::activeWindow() == f; }, 3000);
            QTest::qWait(30);
            stayedOpen = f->isVisible();
            focusRight = (c.focusOnTitle ? f->EditTitle() : f->EditUrl())->hasFocus();
            // Cancel always closes, whatever the fields hold.
            QTest::mouseClick(f->BtnCancel(), Qt::LeftButton);
        });
        EXPECT_FALSE(ok);
        EXPECT_TRUE(stayedOpen);
        EXPECT_TRUE(focusRight);
        EXPECT_EQ(messages, QStringList{c.message});
    }
}

TEST_F(EditBookmarkTest, EditModeTakesBothValuesAsTypedAndAcceleratorsReachTheirEdits)
{
    bool urlEnabled = false;
    const bool ok = Run(TBookmarkModifyMode::bmEdit, "Old", "https://old.example/", [&](TFormEditBookmark* f) {
        urlEnabled = f->EditUrl()->isEnabled();
        EXPECT_EQ(f->windowTitle(), "Edit Bookmark");
        QTest::keyClick(f, Qt::Key_U, Qt::AltModifier);
        EXPECT_TRUE(f->EditUrl()->hasFocus());
        f->EditUrl()->selectAll();
        QTest::keyClicks(f->EditUrl(), " https://new.example/ ");
        QTest::keyClick(f, Qt::Key_T, Qt::AltModifier);
        EXPECT_TRUE(f->EditTitle()->hasFocus());
        f->EditTitle()->selectAll();
        QTest::keyClicks(f->EditTitle(), "New ");
        QTest::mouseClick(f->BtnDone(), Qt::LeftButton);
    });
    EXPECT_TRUE(ok);
    EXPECT_TRUE(urlEnabled);
    EXPECT_EQ(dialog.BookmarkTitle(), "New ");
    EXPECT_EQ(dialog.BookmarkUrl(), " https://new.example/ ");
    EXPECT_TRUE(messages.isEmpty());
}

namespace {

class ManageBookmarksTest : public DialogsTest {
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        siteA = SiteConfig(AddSite("Site A"));
        for (const char* t : {"a1", "a2", "a3", "a4"})
            siteA->Bookmarks()->AddBookmark(t, QStringLiteral("https://a.example/") + t);
        siteB = SiteConfig(AddSite("Site B"));
        siteB->Bookmarks()->AddBookmark("b1", "https://b.example/b1");
        emptySite = SiteConfig(AddSite("Site C"));
        frame = std::make_unique<TFrameManageBookmarks>();
        frame->resize(400, 400);
        frame->SetMoodleSysPresets(AppConfig()->MoodleSysConfigPresets());
        tree = frame->TreeViewBookmarks();
        tree->expandAll();
    }
    void TearDown() override
    {
        frame.reset();
        DialogsTest::TearDown();
    }
    static QStringList Titles(TMoodleSysConfig* site)
    {
        QStringList t;
        for (int i = 0; i < site->Bookmarks()->Count(); ++i)
            t << site->Bookmarks()->BookmarkItems(i)->Title();
        return t;
    }
    static QStringList NodeTexts(QTreeWidgetItem* site)
    {
        QStringList t;
        for (int i = 0; i < site->childCount(); ++i)
            t << site->child(i)->text(0);
        return t;
    }
    QTreeWidgetItem* Site(int i) const { return tree->topLevelItem(i); }
    QPoint Pos(QTreeWidgetItem* node) const { return tree->visualItemRect(node).center(); }
    void Click(QTreeWidgetItem* node) { QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, Pos(node)); }

    TMoodleSysConfig* siteA = nullptr;
    TMoodleSysConfig* siteB = nullptr;
    TMoodleSysConfig* emptySite = nullptr;
    std::unique_ptr<TFrameManageBookmarks> frame;
    QTreeWidget* tree = nullptr;
};

} // namespace

TEST_F(ManageBookmarksTest, TreeHoldsSitesOverTheirBookmarksAndOnlyBookmarksCanBeEdited)
{
    ShowActive(frame.get());
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(Site(0)->text(0), "Site A");
    EXPECT_EQ(NodeTexts(Site(0)), (QStringList{"a1", "a2", "a3", "a4"}));
    EXPECT_EQ(NodeTexts(Site(1)), QStringList{"b1"});
    EXPECT_EQ(Site(2)->childCount(), 0);
    EXPECT_EQ(frame->BtnEdit()->text(), "&Edit");
    EXPECT_EQ(frame->BtnDelete()->text(), "&Delete");
    EXPECT_FALSE(frame->BtnEdit()->isEnabled());

    ModalWatcher watcher;
    for (int i : {0, 2}) {
        Click(Site(i));
        EXPECT_FALSE(frame->BtnEdit()->isEnabled());
        EXPECT_FALSE(frame->BtnDelete()->isEnabled());
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, Pos(Site(i)));
    }
    QTest::qWait(30);
    EXPECT_EQ(watcher.DialogsSeen, 0) << "a site node edits nothing";
    Click(Site(0)->child(1));
    EXPECT_TRUE(frame->BtnEdit()->isEnabled());
    EXPECT_TRUE(frame->BtnDelete()->isEnabled());
}

TEST_F(ManageBookmarksTest, EditChangesTheBookmarkAndItsNode)
{
    ShowActive(frame.get());
    Click(Site(0)->child(2));
    QString site, title;
    ModalWatcher watcher([&](QWidget* w) {
        auto* f = qobject_cast<TFormEditBookmark*>(w);
        ASSERT_NE(f, nullptr);
        site = f->SiteTitle();
        title = f->BookmarkTitle();
        EXPECT_TRUE(f->EditUrl()->isEnabled());
        f->EditTitle()->selectAll();
        QTest::keyClicks(f->EditTitle(), "Third");
        f->EditUrl()->setFocus();
        f->EditUrl()->selectAll();
        QTest::keyClicks(f->EditUrl(), "https://a.example/1");
        QTest::mouseClick(f->BtnDone(), Qt::LeftButton);
    });
    QTest::mouseClick(frame->BtnEdit(), Qt::LeftButton);
    EXPECT_EQ(watcher.DialogsSeen, 1);
    EXPECT_EQ(site, "Site A");
    EXPECT_EQ(title, "a3");
    TSiteBookmarkItem* b = siteA->Bookmarks()->BookmarkItems(2);
    EXPECT_EQ(b->Title(), "Third");
    EXPECT_EQ(b->Url(), "https://a.example/1") << "an address already bookmarked is taken as it is";
    EXPECT_EQ(Site(0)->child(2)->text(0), "Third");
    EXPECT_EQ(frame->SelectedNode(), Site(0)->child(2));
}

TEST_F(ManageBookmarksTest, DeleteSelectsThePreviousElseTheNextElseNothing)
{
    ShowActive(frame.get());
    Click(Site(0)->child(0));
    QTest::mouseClick(frame->BtnDelete(), Qt::LeftButton);
    EXPECT_EQ(Titles(siteA), (QStringList{"a2", "a3", "a4"}));
    EXPECT_EQ(frame->SelectedNode(), Site(0)->child(0)) << "the new first";

    Click(Site(0)->child(2));
    QTest::mouseClick(frame->BtnDelete(), Qt::LeftButton);
    EXPECT_EQ(Titles(siteA), (QStringList{"a2", "a3"}));
    EXPECT_EQ(frame->SelectedNode()->text(0), "a3") << "the previous one";

    Click(Site(1)->child(0));
    QTest::mouseClick(frame->BtnDelete(), Qt::LeftButton);
    EXPECT_EQ(siteB->Bookmarks()->Count(), 0);
    EXPECT_EQ(frame->SelectedNode(), nullptr);
    EXPECT_FALSE(frame->BtnEdit()->isEnabled());
    EXPECT_FALSE(frame->BtnDelete()->isEnabled());
}

TEST_F(ManageBookmarksTest, DraggingReordersWithinASiteOnlyAndTheCollectionFollows)
{
    ShowActive(frame.get());
    struct Case {
        const char* name;
        int draggedRow;
        int targetSite;
        int targetRow; // -1: the site node itself
        bool accepted;
        QStringList expected;
    };
    const Case cases[] = {
        {"4th onto 2nd", 3, 0, 1, true, {"a1", "a4", "a2", "a3"}},
        {"2nd onto 4th", 1, 0, 3, true, {"a1", "a3", "a4", "a2"}},
        {"onto a bookmark of another site", 1, 1, 0, false, {"a1", "a2", "a3", "a4"}},
        {"onto its own site node", 1, 0, -1, false, {"a1", "a2", "a3", "a4"}},
        {"onto itself", 1, 0, 1, false, {"a1", "a2", "a3", "a4"}},
        {"last onto first", 3, 0, 0, true, {"a4", "a1", "a2", "a3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Start each case from the same order.
        siteA->Bookmarks()->Clear();
        for (const char* t : {"a1", "a2", "a3", "a4"})
            siteA->Bookmarks()->AddBookmark(t, QStringLiteral("https://a.example/") + t);
        frame->RebuildBookmarkTree();
        tree->expandAll();
        QTreeWidgetItem* dragged = Site(0)->child(c.draggedRow);
        Click(dragged);
        QTreeWidgetItem* target = c.targetRow < 0 ? Site(c.targetSite) : Site(c.targetSite)->child(c.targetRow);
        const QPoint at = Pos(target);
        EXPECT_EQ(frame->TreeViewBookmarksDragOver(tree, at), c.accepted);
        frame->TreeViewBookmarksDragDrop(tree, at);
        EXPECT_EQ(Titles(siteA), c.expected);
        EXPECT_EQ(NodeTexts(Site(0)), c.expected);
        EXPECT_EQ(frame->SelectedNode()->text(0), dragged->text(0));
        EXPECT_EQ(Titles(siteB), QStringList{"b1"});
    }
}

TEST_F(ManageBookmarksTest, DragsFromElsewhereAreRefused)
{
    ShowActive(frame.get());
    Click(Site(0)->child(3));
    const QPoint at = Pos(Site(0)->child(1));
    EXPECT_FALSE(frame->TreeViewBookmarksDragOver(nullptr, at));
    EXPECT_FALSE(frame->TreeViewBookmarksDragOver(frame->BtnEdit(), at));
    // The same through the tree's own events: a drag from another program
    // has no source in this one.
    QMimeData data;
    data.setText("https://elsewhere.example/");
    QDragMoveEvent move(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    EXPECT_FALSE(move.isAccepted());
    QDropEvent drop(QPointF(at), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &drop);
    EXPECT_EQ(Titles(siteA), (QStringList{"a1", "a2", "a3", "a4"}));
}

TEST_F(ManageBookmarksTest, OpeningFromASiteExpandsItAndCollapsesTheOthers)
{
    QTemporaryDir dir;
    TXmlPlacementStore store;
    store.SetFileName(dir.filePath("forms.cfg"));
    TFormManageBookmarks form(nullptr, &store);
    EXPECT_EQ(form.windowTitle(), "Manage Bookmarks");
    EXPECT_EQ(form.BtnClose()->text(), "&Close");
    for (TMoodleSysConfig* active : {siteB, siteA}) {
        QList<bool> expanded;
        QString selected;
        ModalWatcher watcher([&](QWidget* w) {
            auto* f = qobject_cast<TFormManageBookmarks*>(w);
            ASSERT_NE(f, nullptr);
            QTreeWidget* t = f->FrameManageBookmarks()->TreeViewBookmarks();
            for (int i = 0; i < t->topLevelItemCount(); ++i)
                expanded << t->topLevelItem(i)->isExpanded();
            QTreeWidgetItem* sel = f->FrameManageBookmarks()->SelectedNode();
            selected = sel ? sel->text(0) : QString();
            QTest::mouseClick(f->BtnClose(), Qt::LeftButton);
        });
        form.Execute(AppConfig()->MoodleSysConfigPresets(), active);
        EXPECT_FALSE(watcher.TimedOut);
        const bool a = active == siteA;
        EXPECT_EQ(expanded, (QList<bool>{a, !a, false}));
        EXPECT_EQ(selected, a ? "Site A" : "Site B");
    }
    EXPECT_TRUE(store.HasValue(TFormManageBookmarks::StorageSection, "Width")) << "the placement is kept";
}
