// The document view on a real helper: what the user types, clicks and
// formats reaches the document, and what the document holds is painted.
#include "officeclient.h"
#include "officedocumentview.h"
#include "officeformatbar.h"
#include "officekeys.h"
#include "officesuite.h"
#include "officetestutil.h"
#include "officewordautomation.h"
#include "testutil.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QJsonArray>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QJsonObject>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <signal.h>

namespace {

TEST(OfficeKeys, QtKeysMapToLibreOfficeCodes)
{
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        const char* text;
        int charCode;
        int keyCode;
    } cases[] = {
        {Qt::Key_A, Qt::NoModifier, "a", 'a', 512},
        {Qt::Key_A, Qt::ShiftModifier, "A", 'A', 512 | TOfficeKeys::kShift},
        {Qt::Key_B, Qt::ControlModifier, "\x02", 0, 513 | TOfficeKeys::kMod1},
        {Qt::Key_5, Qt::NoModifier, "5", '5', 261},
        {Qt::Key_Return, Qt::NoModifier, "\r", 13, TOfficeKeys::kReturn},
        {Qt::Key_Return, Qt::ShiftModifier, "\r", 13, TOfficeKeys::kReturn | TOfficeKeys::kShift},
        {Qt::Key_Backspace, Qt::NoModifier, "\b", 8, TOfficeKeys::kBackspace},
        {Qt::Key_Delete, Qt::NoModifier, "", 0, TOfficeKeys::kDelete},
        {Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier, "", 0,
         TOfficeKeys::kLeft | TOfficeKeys::kShift | TOfficeKeys::kMod1},
        {Qt::Key_End, Qt::NoModifier, "", 0, TOfficeKeys::kEnd},
        {Qt::Key_PageDown, Qt::NoModifier, "", 0, TOfficeKeys::kPageDown},
        {Qt::Key_Tab, Qt::NoModifier, "\t", 9, TOfficeKeys::kTab},
        {Qt::Key_Backtab, Qt::ShiftModifier, "", 9, TOfficeKeys::kTab | TOfficeKeys::kShift},
        {Qt::Key_Space, Qt::NoModifier, " ", ' ', TOfficeKeys::kSpace},
        // A character without a key of its own, and AltGr text.
        {Qt::Key_Adiaeresis, Qt::NoModifier, "ä", 0xe4, 0},
        {Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier, "@", '@', 528},
        // Keys LibreOffice has no use for.
        {Qt::Key_Shift, Qt::ShiftModifier, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const TOfficeKey key = TOfficeKeys::FromQt(c.key, c.mods, QString::fromUtf8(c.text));
        EXPECT_EQ(key.charCode, c.charCode);
        EXPECT_EQ(key.keyCode, c.keyCode);
    }
}

// One helper for the executable; each test gets a new document in a shown view.
class OfficeView : public TOfficeSuite {
protected:
    void SetUp() override
    {
        m_doc = s_word->NewDocument();
        m_window = std::make_unique<QMainWindow>();
        m_view = new TOfficeDocumentView(*s_client, Office().DocId(), m_window.get());
        m_bar = new TOfficeFormatBar(*m_view, m_window.get());
        m_window->addToolBar(m_bar);
        m_window->setCentralWidget(m_view);
        m_window->resize(900, 700);
        m_window->show();
        m_window->activateWindow();
        m_view->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void TearDown() override
    {
        m_window.reset();
        m_doc.reset();
    }
    TOfficeWordDocument& Office() { return dynamic_cast<TOfficeWordDocument&>(*m_doc); }
    void Type(const QString& text) { QTest::keyClicks(m_view, text); }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(m_view, key, mods); }
    // Dark pixels in the view: text painted by LibreOffice.
    int DarkPixels()
    {
        const QImage image = m_view->RenderVisible();
        int dark = 0;
        for (int y = 0; y < image.height(); y += 1)
            for (int x = 0; x < image.width(); x += 1)
                if (qGray(image.pixel(x, y)) < 100)
                    ++dark;
        return dark;
    }

    std::unique_ptr<IWordDocument> m_doc;
    std::unique_ptr<QMainWindow> m_window;
    TOfficeDocumentView* m_view = nullptr;
    TOfficeFormatBar* m_bar = nullptr;
};


TEST_F(OfficeView, TypedKeysReachTheDocument)
{
    Type(QStringLiteral("Hello wrld"));
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    Type(QStringLiteral("o"));
    Key(Qt::Key_End);
    Key(Qt::Key_Return);
    Type(QStringLiteral("Second linex"));
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Home);
    Key(Qt::Key_Delete);
    Type(QStringLiteral("s"));
    Key(Qt::Key_End);
    Key(Qt::Key_Tab);
    // Characters without a key of their own come through as text.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QStringLiteral("ä"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Adiaeresis, Qt::NoModifier, QStringLiteral("ä"));
    QApplication::sendEvent(m_view, &press);
    QApplication::sendEvent(m_view, &release);
    Key(Qt::Key_Up);
    Key(Qt::Key_Home);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Type(QStringLiteral("J"));
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Jello world\nsecond line\tä"));
}

TEST_F(OfficeView, ComposedTextFromAnInputMethodIsInserted)
{
    Type(QStringLiteral("Tokyo "));
    {
        QList<QInputMethodEvent::Attribute> attributes;
        QInputMethodEvent preedit(QStringLiteral("とうきょう"), attributes);
        QApplication::sendEvent(m_view, &preedit);
    }
    {
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("東京"));
        QApplication::sendEvent(m_view, &commit);
    }
    Type(QStringLiteral("!"));
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Tokyo 東京!"));
    // The input method places its window at the text cursor.
    const QRect cursor = m_view->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_GT(cursor.height(), 0);
    EXPECT_TRUE(m_view->rect().contains(cursor.topLeft()));
}

TEST_F(OfficeView, ShortcutsEditAndTheToolbarFollowsTheState)
{
    Key(Qt::Key_B, Qt::ControlModifier);
    // Capitalised as the word processor's autocorrection would do it anyway.
    Type(QStringLiteral("Bold"));
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CommandState(".uno:Bold") == QLatin1String("true"); }));
    EXPECT_TRUE(m_bar->CommandAction(".uno:Bold")->isChecked());
    Key(Qt::Key_B, Qt::ControlModifier);
    Type(QStringLiteral(" plain"));
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CommandState(".uno:Bold") == QLatin1String("false"); }));
    EXPECT_FALSE(m_bar->CommandAction(".uno:Bold")->isChecked());

    // Toolbar buttons act on the document: centre the paragraph.
    m_bar->CommandAction(".uno:CenterPara")->trigger();
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CommandState(".uno:CenterPara") == QLatin1String("true"); }));
    EXPECT_TRUE(m_bar->CommandAction(".uno:CenterPara")->isChecked());
    EXPECT_FALSE(m_bar->CommandAction(".uno:LeftPara")->isChecked());

    QTemporaryDir out;
    m_doc->SaveAsFilteredHtml(out.filePath("p.html"));
    const QString html = QString::fromUtf8(testutil::readFile(out.filePath("p.html")));
    EXPECT_TRUE(html.contains(QLatin1String("<b>Bold</b>"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QLatin1String("center"))) << html.toStdString();

    // Undo takes back the centring, then the typing; redo brings it again.
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CommandState(".uno:CenterPara") == QLatin1String("false"); }));
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(m_doc->Text(), QStringLiteral("Bold plain"));
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Bold plain"));

    // Select all and delete empties the document.
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_Delete);
    EXPECT_EQ(m_doc->Text(), QString());
}

TEST_F(OfficeView, ToolbarFormattingReachesTheExportedPage)
{
    QTemporaryDir files;
    ASSERT_TRUE(officetest::WritePng(files.filePath("pic.png"), Qt::darkGreen, 64, 48));
    m_bar->ApplyParagraphStyle(QStringLiteral("Heading 1"));
    Type(QStringLiteral("Title"));
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CommandState(".uno:StyleApply") == QLatin1String("Heading 1"); }));
    Key(Qt::Key_Return);
    m_bar->ApplyFont(QStringLiteral("DejaVu Sans Mono"));
    m_bar->ApplyFontSize(20);
    m_bar->ApplyColour(QColor(0x12, 0x34, 0x56));
    Type(QStringLiteral("Styled"));
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CommandState(".uno:FontHeight") == QLatin1String("20"); }));
    EXPECT_EQ(m_view->CommandState(".uno:CharFontName"), QStringLiteral("DejaVu Sans Mono"));
    Key(Qt::Key_Return);
    m_bar->CommandAction(".uno:DefaultBullet")->trigger();
    Type(QStringLiteral("Point"));
    ASSERT_TRUE(testutil::waitUntil([&] { return m_bar->CommandAction(".uno:DefaultBullet")->isChecked(); }));
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);   // an empty item ends the list
    m_bar->InsertTable(2, 3);
    Type(QStringLiteral("Cell"));
    Key(Qt::Key_End, Qt::ControlModifier);
    m_bar->InsertPictureFile(files.filePath("pic.png"));

    m_doc->SaveAsFilteredHtml(files.filePath("out/page.html"));
    const QString html = QString::fromUtf8(testutil::readFile(files.filePath("out/page.html")));
    EXPECT_TRUE(html.contains(QLatin1String("<h1"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QLatin1String("DejaVu Sans Mono"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QLatin1String("#123456"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QLatin1String("20pt"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QLatin1String("<ul"))) << html.toStdString();
    EXPECT_EQ(html.count(QLatin1String("<td")), 6) << html.toStdString();
    const QStringList sources = officetest::ImageSources(html);
    ASSERT_EQ(sources.size(), 1) << html.toStdString();
    EXPECT_EQ(QImage(files.filePath("out/" + sources[0])).size(), QSize(64, 48));
    EXPECT_EQ(s_client->RestartCount(), 0);
}

TEST_F(OfficeView, CopyAndPasteGoThroughTheSystemClipboard)
{
    Type(QStringLiteral("Copied words"));
    Key(Qt::Key_A, Qt::ControlModifier);
    QApplication::clipboard()->clear();
    Key(Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(testutil::waitUntil([] {
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        return mime && mime->text().contains(QLatin1String("Copied words"));
    }));
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasHtml());
    Key(Qt::Key_End, Qt::ControlModifier);
    QApplication::clipboard()->setText(QStringLiteral(" + pasted"));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Copied words + pasted"));
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(m_doc->Text(), QString());
}

TEST_F(OfficeView, TextIsPaintedAndTheCursorAndSelectionFollow)
{
    QApplication::clipboard()->setText(QString());
    auto* mime = new QMimeData();
    mime->setHtml(QStringLiteral("<h1>A heading in big letters</h1><p>Some <b>bold</b> and <i>italic</i> text.</p>"));
    QApplication::clipboard()->setMimeData(mime);
    m_doc->Paste();
    // A rendered tile is not blank: the heading's letters are dark pixels.
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CachedTileCount() > 0 && DarkPixels() > 300; }, 20000))
        << "dark pixels: " << DarkPixels();

    // The text cursor sits in the text (LibreOffice gives it no width).
    EXPECT_GT(m_view->CursorTwips().height(), 0);

    // Double-click on the heading selects a word: a selection is drawn.
    QSignalSpy events(s_client, &TOfficeClient::DocumentEvent);
    const QRect page = m_view->viewport()->rect();
    const QImage image = m_view->RenderVisible();
    QPoint onText;
    for (int y = 0; y < image.height() && onText.isNull(); ++y)
        for (int x = page.width() / 4; x < image.width() && onText.isNull(); ++x)
            if (qGray(image.pixel(x, y)) < 60)
                onText = QPoint(x, y);
    ASSERT_FALSE(onText.isNull());
    auto lastSelection = [&]() -> std::optional<int> {
        for (qsizetype i = events.size() - 1; i >= 0; --i)
            if (events[i][1].toString() == QLatin1String("selection"))
                return int(events[i][2].value<QJsonObject>().value("rects").toArray().size());
        return std::nullopt;
    };
    // Drag-select across the heading, then a click drops the selection.
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, onText);
    QMouseEvent move(QEvent::MouseMove, QPointF(onText + QPoint(120, 0)), m_view->viewport()->mapToGlobal(QPointF(onText + QPoint(120, 0))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_view->viewport(), &move);
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, onText + QPoint(120, 0));
    ASSERT_TRUE(testutil::waitUntil([&] { return lastSelection().value_or(0) > 0; }));
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, onText + QPoint(0, 60));
    ASSERT_TRUE(testutil::waitUntil([&] { return lastSelection() == 0; }));

    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, onText);
    ASSERT_TRUE(testutil::waitUntil([&] { return lastSelection().value_or(0) > 0; }));
    // Typing replaces the selected word.
    Type(QStringLiteral("Z"));
    EXPECT_TRUE(m_doc->Text().startsWith(QStringLiteral("A heading in big letters")) == false);

    // Zoom keeps painting.
    m_view->SetZoom(2.0);
    ASSERT_TRUE(testutil::waitUntil([&] { return DarkPixels() > 300; }, 20000));
}

TEST_F(OfficeView, TheWindowsShortcutsWorkWithTheFocusInTheDocument)
{
    // The word editor's import and export keys, as it sets them.
    int imports = 0, exports = 0;
    auto* import = new QAction(QStringLiteral("Import..."), m_window.get());
    import->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QObject::connect(import, &QAction::triggered, [&] { ++imports; });
    auto* exportAction = new QAction(QStringLiteral("Export..."), m_window.get());
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QObject::connect(exportAction, &QAction::triggered, [&] { ++exports; });
    m_window->addAction(import);
    m_window->addAction(exportAction);
    // Window shortcuts act in the active window, as the word editor is.
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    m_view->setFocus();
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->hasFocus(); }));

    Type(QStringLiteral("Text"));
    Key(Qt::Key_O, Qt::ControlModifier);
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(imports, 1);
    EXPECT_EQ(exports, 1);
    // The other Ctrl keys still go to the document.
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_B, Qt::ControlModifier);
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CommandState(".uno:Bold") == QLatin1String("true"); }));
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Text"));
    // A disabled action leaves its key to the document (where it is dropped).
    import->setEnabled(false);
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(imports, 1);
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Text"));
}

TEST_F(OfficeView, ShortcutsThatWouldOpenADialogAreIgnored)
{
    // A dialog in the display-less helper would bring LibreOffice down.
    Type(QStringLiteral("Kept"));
    const int restarts = s_client->RestartCount();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    } dialogs[] = {
        {Qt::Key_K, Qt::ControlModifier},                       // hyperlink
        {Qt::Key_F7, Qt::NoModifier},                           // spelling
        {Qt::Key_F12, Qt::ControlModifier},                     // insert table
        {Qt::Key_P, Qt::ControlModifier},                       // print
        {Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier},   // paste special
        {Qt::Key_Q, Qt::ControlModifier},                       // quit
        {Qt::Key_F, Qt::AltModifier},                           // menu
    };
    for (const auto& d : dialogs)
        Key(d.key, d.mods);
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Kept"));
    EXPECT_EQ(s_client->RestartCount(), restarts);
    // Formatting shortcuts still work.
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_I, Qt::ControlModifier);
    ASSERT_TRUE(testutil::waitUntil([&] { return m_view->CommandState(".uno:Italic") == QLatin1String("true"); }));
}

TEST_F(OfficeView, TheViewScrollsToWhereTheUserWrites)
{
    QString html;
    for (int i = 1; i <= 120; ++i)
        html += QStringLiteral("<p>Paragraph number %1 of a long lesson.</p>").arg(i);
    auto* mime = new QMimeData();
    mime->setHtml(html);
    QApplication::clipboard()->setMimeData(mime);
    m_doc->Paste();
    QScrollBar* vertical = m_view->verticalScrollBar();
    ASSERT_TRUE(testutil::waitUntil([&] { return vertical->maximum() > 2 * m_view->viewport()->height(); }));

    // Ctrl+Home, then Ctrl+End: the view follows the cursor to the end.
    Key(Qt::Key_Home, Qt::ControlModifier);
    ASSERT_TRUE(testutil::waitUntil([&] { return vertical->value() == 0; }));
    Key(Qt::Key_End, Qt::ControlModifier);
    Type(QStringLiteral("X"));
    ASSERT_TRUE(testutil::waitUntil([&] { return vertical->value() > vertical->maximum() / 2; }));
    const QRect cursor = m_view->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_TRUE(m_view->rect().contains(cursor.center())) << cursor.y();
    // What is shown there is painted, not blank.
    ASSERT_TRUE(testutil::waitUntil([&] { return DarkPixels() > 300; }, 20000));
    // Pasting keeps the empty paragraph the document had after the pasted ones.
    EXPECT_TRUE(m_doc->Text().endsWith(QStringLiteral("Paragraph number 120 of a long lesson.\nX")));
}

TEST_F(OfficeView, OneEditsCallbacksArriveFiltered)
{
    const auto before = s_client->Call(QStringLiteral("stats")).header;
    Type(QStringLiteral("Twenty characters.."));
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Twenty characters.."));
    testutil::waitUntil([] { return false; }, 200);
    const auto after = s_client->Call(QStringLiteral("stats")).header;
    const double callbacks = after.value("callbacks").toDouble() - before.value("callbacks").toDouble();
    const double events = after.value("events").toDouble() - before.value("events").toDouble();
    RecordProperty("callbacks", int(callbacks));
    RecordProperty("events", int(events));
    EXPECT_GT(callbacks, 0);
    EXPECT_LT(events * 3, callbacks) << "callbacks " << callbacks << " events " << events;
}

TEST_F(OfficeView, ZZ_ViewComesBackAfterTheHelperDied)
{
    QSignalSpy restored(m_view, &TOfficeDocumentView::DocumentRestored);
    QSignalSpy events(s_client, &TOfficeClient::DocumentEvent);
    Type(QStringLiteral("Typed before the crash"));
    ASSERT_TRUE(testutil::waitUntil([&] {
        for (const auto& args : events)
            if (args[1].toString() == QLatin1String("recovery"))
                return true;
        return false;
    }, 20000));
    ::kill(pid_t(s_client->HelperPid()), SIGKILL);
    ASSERT_TRUE(testutil::waitUntil([&] { return restored.count() == 1; }, 60000));
    EXPECT_TRUE(restored.first()[0].toBool());
    EXPECT_TRUE(m_view->findChild<QLabel*>()->isVisible());
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Typed before the crash"));
    ASSERT_TRUE(testutil::waitUntil([&] { return DarkPixels() > 100; }, 20000));
    // The user goes on typing where the document is.
    Key(Qt::Key_End, Qt::ControlModifier);
    Type(QStringLiteral("!"));
    EXPECT_EQ(m_doc->Text(), QStringLiteral("Typed before the crash!"));
}

} // namespace
