// The automation layer over a real LibreOffice helper: documents in, HTML and
// other formats out, the clipboard both ways, and a helper that dies.
#include "mswordutil.h"
#include "officeclient.h"
#include "officeerror.h"
#include "officesuite.h"
#include "officetestutil.h"
#include "officewordautomation.h"
#include "testutil.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

// One helper for the whole executable: LibreOffice starts once per process.
class OfficeAutomation : public TOfficeSuite {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

void SetClipboardHtml(const QString& html)
{
    auto* mime = new QMimeData();
    mime->setHtml(html);
    mime->setText(QStringLiteral("plain fallback"));
    QGuiApplication::clipboard()->setMimeData(mime);
}

TEST_F(OfficeAutomation, PastedHtmlExportsWithPicturesBesideThePage)
{
    ASSERT_TRUE(officetest::WritePng(Path("red.png"), Qt::red));
    ASSERT_TRUE(officetest::WritePng(Path("blue.png"), Qt::blue, 30, 20));
    const QString html = QStringLiteral(
        "<html><body><p>Before <b>strong words</b> after</p>"
        "<table border=\"1\"><tr><td>Cell A1</td><td>Cell B1</td></tr><tr><td>Cell A2</td><td>Cell B2</td></tr></table>"
        "<p><img src=\"%1\"> and <img src=\"%2\"></p></body></html>")
        .arg(QUrl::fromLocalFile(Path("red.png")).toString(), QUrl::fromLocalFile(Path("blue.png")).toString());
    SetClipboardHtml(html);

    auto doc = s_word->NewDocument();
    doc->SelectAll();
    doc->Paste();
    EXPECT_EQ(doc->Text(), QStringLiteral("Before strong words after\nCell A1\nCell B1\nCell A2\nCell B2\n and \n"));

    const QString out = Path("export/Exported.html");
    doc->SaveAsFilteredHtml(out);
    const QString page = QString::fromUtf8(testutil::readFile(out));
    ASSERT_FALSE(page.isEmpty());
    EXPECT_TRUE(page.contains(QLatin1String("<b>strong words</b>")) || page.contains(QLatin1String("<strong>strong words")))
        << page.toStdString();
    EXPECT_TRUE(page.contains(QLatin1String("<table"), Qt::CaseInsensitive));

    const QStringList sources = officetest::ImageSources(page);
    ASSERT_EQ(sources.size(), 2) << page.toStdString();
    QStringList sizes;
    for (const QString& src : sources) {
        // Relative, and naming a file in the export's folder.
        EXPECT_FALSE(src.contains(QLatin1String(":"))) << src.toStdString();
        const QImage picture(QDir(Path("export")).filePath(src));
        ASSERT_FALSE(picture.isNull()) << src.toStdString();
        sizes << QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height());
    }
    EXPECT_EQ(sizes, (QStringList{"40x30", "30x20"}));
}

TEST_F(OfficeAutomation, CopyPutsHtmlAndTextOnTheSystemClipboard)
{
    SetClipboardHtml(QStringLiteral("<p>Copy <i>me</i> please</p>"));
    auto doc = s_word->NewDocument();
    doc->Paste();
    QGuiApplication::clipboard()->clear();
    doc->SelectAll();
    doc->Copy();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->text().contains(QLatin1String("Copy me please"))) << mime->text().toStdString();
    EXPECT_TRUE(mime->html().contains(QLatin1String("<i>me</i>"))) << mime->html().toStdString();

    // Cut takes the text out of the document as well.
    doc->SelectAll();
    doc->Cut();
    EXPECT_EQ(doc->Text(), QString());
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->text().contains(QLatin1String("Copy me please")));
}

TEST_F(OfficeAutomation, PictureOnTheClipboardIsPastedAsPicture)
{
    QImage image(50, 40, QImage::Format_RGB32);
    image.fill(Qt::green);
    QGuiApplication::clipboard()->setImage(image);
    auto doc = s_word->NewDocument();
    doc->Paste();
    doc->SaveAsFilteredHtml(Path("pic/page.html"));
    const QStringList sources = officetest::ImageSources(QString::fromUtf8(testutil::readFile(Path("pic/page.html"))));
    ASSERT_EQ(sources.size(), 1);
    EXPECT_EQ(QImage(QDir(Path("pic")).filePath(sources[0])).size(), QSize(50, 40));
}

TEST_F(OfficeAutomation, CopiedPicturesTravelWithTheCopiedHtml)
{
    ASSERT_TRUE(officetest::WritePng(Path("copy.png"), Qt::magenta, 33, 22));
    SetClipboardHtml(QStringLiteral("<p>Look: <img src=\"%1\"></p>").arg(QUrl::fromLocalFile(Path("copy.png")).toString()));
    auto source = s_word->NewDocument();
    source->Paste();
    source->SelectAll();
    source->Copy();
    // The copied page carries the picture inside itself (a data: address).
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->html().contains(QLatin1String("src=\"data:image/png")));
    // Pasted into a second document, the picture is there again.
    auto target = s_word->NewDocument();
    target->Paste();
    target->SaveAsFilteredHtml(Path("copy/page.html"));
    const QStringList sources = officetest::ImageSources(QString::fromUtf8(testutil::readFile(Path("copy/page.html"))));
    ASSERT_EQ(sources.size(), 1);
    EXPECT_EQ(QImage(QDir(Path("copy")).filePath(sources[0])).size(), QSize(33, 22));
}

TEST_F(OfficeAutomation, DocxWrittenByAnotherProgramIsRead)
{
    const QString file = Path("other.docx");
    const QString error = officetest::WriteDocxWithPython(file, {"First paragraph", "Zweiter Absatz äöü", "Third"});
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    auto doc = TMsWordUtil::OpenDocSimple(*s_word, file, word_const::msoEncodingUTF8, false);
    EXPECT_EQ(doc->Text(), QStringLiteral("First paragraph\nZweiter Absatz äöü\nThird"));
    EXPECT_EQ(doc->ParagraphCount(), 3);
    EXPECT_EQ(doc->FileName(), QFileInfo(file).absoluteFilePath());

    // Its formatting survives into the HTML export.
    doc->SaveAsFilteredHtml(Path("other.html"));
    const QString page = QString::fromUtf8(testutil::readFile(Path("other.html")));
    EXPECT_TRUE(page.contains(QLatin1String("<b>First paragraph</b>")) || page.contains(QLatin1String("font-weight: bold")))
        << page.toStdString();
    TMsWordUtil::CloseDoc(*doc, false, word_const::wdOriginalDocumentFormat, false);
}

TEST_F(OfficeAutomation, EveryOfferedFormatSavesAndOpensAgain)
{
    auto doc = s_word->NewDocument();
    doc->InsertAfter(QStringLiteral("Round trip text"));
    // Each file must really be in its format, not merely open again: the
    // word processor opens any format it knows whatever the name says. Told
    // by the bytes every writer of that format puts in the file.
    const struct {
        TOleEnum format;
        const char* file;
        QByteArray start;  // the first bytes of the file
        QByteArray inside; // and a sign of the format further in
    } cases[] = {
        {word_const::wdFormatXMLDocument, "a.docx", "PK\x03\x04", "word/document.xml"},
        {word_const::wdFormatDocument, "a.doc", QByteArray::fromHex("d0cf11e0a1b11ae1"), ""},
        {word_const::wdFormatOpenDocumentText, "a.odt", "PK\x03\x04", "application/vnd.oasis.opendocument.text"},
        {word_const::wdFormatRTF, "a.rtf", "{\\rtf", ""},
        {word_const::wdFormatFilteredHTML, "a.html", "", "<html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TMsWordUtil::SaveDocAs(*doc, Path(c.file), c.format, false, QString(), false, QString(), false, false, false,
                               false, false, word_const::msoEncodingUTF8, false, false, word_const::wdCRLF, false);
        const QByteArray bytes = testutil::readFile(Path(c.file));
        ASSERT_FALSE(bytes.isEmpty());
        EXPECT_TRUE(bytes.startsWith(c.start)) << bytes.left(16).toHex().toStdString();
        EXPECT_TRUE(bytes.contains(c.inside)) << c.inside.toStdString();
        auto again = TMsWordUtil::OpenDocSimple(*s_word, Path(c.file), word_const::msoEncodingUTF8, false);
        EXPECT_EQ(again->Text().trimmed(), QStringLiteral("Round trip text"));
    }
    // Plain text honours the line ending asked for.
    doc->InsertAfter(QStringLiteral("\nline two"));
    TMsWordUtil::SaveDocAs(*doc, Path("a.txt"), word_const::wdFormatText, false, QString(), false, QString(), false,
                           false, false, false, false, word_const::msoEncodingUTF8, false, false, word_const::wdCRLF,
                           false);
    EXPECT_TRUE(testutil::readFile(Path("a.txt")).contains("Round trip text\r\nline two"))
        << testutil::readFile(Path("a.txt")).toHex().toStdString();
}

TEST_F(OfficeAutomation, RequestsLibreOfficeCannotHonourFailLoudly)
{
    auto doc = s_word->NewDocument();
    // A password would silently be dropped: refused instead.
    EXPECT_THROW(TMsWordUtil::SaveDocAs(*doc, Path("p.docx"), word_const::wdFormatXMLDocument, false, "secret", false,
                                        QString(), false, false, false, false, false, 0, false, false, 0, false),
                 EOfficeError);
    EXPECT_FALSE(QFileInfo::exists(Path("p.docx")));
    EXPECT_THROW(TMsWordUtil::SaveDocAs(*doc, Path("p.xyz"), 9999, false, QString(), false, QString(), false, false,
                                        false, false, false, 0, false, false, 0, false),
                 EOfficeError);
    EXPECT_THROW(TMsWordUtil::OpenDoc(*s_word, Path("none.docx"), false, false, false, "pw", QString(), false,
                                      QString(), QString(), 0, 0, false, false, 0, false),
                 EOfficeError);
    // A new document has no file to keep its changes in.
    EXPECT_THROW(TMsWordUtil::CloseDoc(*doc, true, word_const::wdOriginalDocumentFormat, false), EOfficeError);

    // LibreOffice's own error text reaches the caller.
    try {
        s_word->OpenDocument(Path("missing.docx"));
        FAIL() << "opening a missing file succeeded";
    } catch (const EOfficeError& e) {
        EXPECT_TRUE(e.Message().contains(QLatin1String("missing.docx"))) << e.what();
    }
    // Commands that would open a dialog (and bring LibreOffice down) are refused.
    auto& office = dynamic_cast<TOfficeWordDocument&>(*doc);
    const int restarts = s_client->RestartCount();
    EXPECT_THROW(office.Uno(QStringLiteral(".uno:SetDocumentProperties")), EOfficeError);
    EXPECT_THROW(office.Uno(QStringLiteral(".uno:InsertTable")), EOfficeError);
    EXPECT_THROW(office.Uno(QStringLiteral(".uno:HyperlinkDialog")), EOfficeError);
    // With its arguments the table needs no dialog (LibreOffice reports no
    // success for it, so the page is what tells).
    office.Uno(QStringLiteral(".uno:InsertTable"), R"({"Rows":{"type":"long","value":1},"Columns":{"type":"long","value":1}})");
    doc->SaveAsFilteredHtml(Path("table.html"));
    EXPECT_TRUE(testutil::readFile(Path("table.html")).contains("<table"));
    EXPECT_EQ(s_client->RestartCount(), restarts);
    office.Uno(QStringLiteral(".uno:Undo"));
    // The helper is still fine afterwards.
    doc->InsertAfter(QStringLiteral("still alive"));
    EXPECT_EQ(doc->Text(), QStringLiteral("still alive"));
}

TEST_F(OfficeAutomation, ResettingTheDocumentParagraphByParagraphEmptiesIt)
{
    SetClipboardHtml(QStringLiteral("<p>one</p><p>two <b>bold</b></p><p>three</p><p>four</p>"));
    auto doc = s_word->NewDocument();
    doc->SelectAll();
    doc->Paste();
    doc->InsertAfter(QStringLiteral(" "));
    const int n = doc->ParagraphCount();
    EXPECT_GE(n, 4);
    // Deleting the second paragraph takes exactly that one.
    doc->DeleteParagraph(2);
    EXPECT_EQ(doc->Text().split('\n').mid(0, 3), (QStringList{"one", "three", "four"}));
    for (int i = doc->ParagraphCount(); i >= 1; --i)
        doc->DeleteParagraph(i);
    EXPECT_EQ(doc->Text(), QString());
    EXPECT_EQ(doc->ParagraphCount(), 1);
    EXPECT_THROW(doc->DeleteParagraph(2), EOfficeError);
}

TEST_F(OfficeAutomation, SelectAllAndDeleteEmptiesTheDocument)
{
    SetClipboardHtml(QStringLiteral("<p>alpha</p><table><tr><td>in a table</td></tr></table><p>omega</p>"));
    auto doc = s_word->NewDocument();
    doc->Paste();
    auto& office = dynamic_cast<TOfficeWordDocument&>(*doc);
    doc->SelectAll();
    office.Uno(QStringLiteral(".uno:Delete"));
    EXPECT_EQ(doc->Text(), QString());
}

TEST_F(OfficeAutomation, SeveralDocumentsKeepTheirOwnContent)
{
    auto first = s_word->NewDocument();
    auto second = s_word->NewDocument();
    first->InsertAfter(QStringLiteral("first"));
    second->InsertAfter(QStringLiteral("second"));
    first->InsertAfter(QStringLiteral(" more"));
    EXPECT_EQ(first->Text(), QStringLiteral("first more"));
    EXPECT_EQ(second->Text(), QStringLiteral("second"));
    second->Close();
    EXPECT_THROW(second->Text(), EOfficeError);
    EXPECT_EQ(first->Text(), QStringLiteral("first more"));
}

// Last: it restarts the helper.
TEST_F(OfficeAutomation, ZZ_KilledHelperIsRestartedAndTheDocumentComesBack)
{
    auto doc = s_word->NewDocument();
    auto& office = dynamic_cast<TOfficeWordDocument&>(*doc);
    QSignalSpy recoverySaved(s_client, &TOfficeClient::DocumentEvent);
    QSignalSpy recovered(s_client, &TOfficeClient::DocumentRecovered);
    QSignalSpy stopped(s_client, &TOfficeClient::HelperStopped);
    doc->InsertAfter(QStringLiteral("Words that must survive"));
    ASSERT_TRUE(testutil::waitUntil([&] {
        for (const auto& args : recoverySaved)
            if (args[0].toInt() == office.DocId() && args[1].toString() == QLatin1String("recovery"))
                return true;
        return false;
    }, 20000));

    const qint64 pid = s_client->HelperPid();
    ASSERT_GT(pid, 0);
    ::kill(pid_t(pid), SIGKILL);
    ASSERT_TRUE(testutil::waitUntil([&] { return recovered.count() > 0; }, 60000));
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_NE(s_client->HelperPid(), pid);
    EXPECT_EQ(recovered.first()[0].toInt(), office.DocId());
    EXPECT_TRUE(recovered.first()[1].toBool());
    EXPECT_EQ(doc->Text(), QStringLiteral("Words that must survive"));

    // A call that is waiting when the helper dies fails with a clear error,
    // and the next one works again.
    s_client->Post(QStringLiteral("crash"), {});
    EXPECT_THROW(doc->Text(), EOfficeError);
    ASSERT_TRUE(testutil::waitUntil([&] { return recovered.count() > 1; }, 60000));
    EXPECT_EQ(doc->Text(), QStringLiteral("Words that must survive"));
    EXPECT_EQ(s_client->RestartCount(), 2);

    // A helper that stops answering is replaced as well.
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(s_client->Call(QStringLiteral("stall"), QJsonObject{{"ms", 60000}}, {}, 1000), EOfficeError);
    EXPECT_LT(timer.elapsed(), 30000);
    ASSERT_TRUE(testutil::waitUntil([&] { return recovered.count() > 2; }, 60000));
    EXPECT_EQ(doc->Text(), QStringLiteral("Words that must survive"));
    EXPECT_EQ(s_client->RestartCount(), 3);
}

} // namespace
