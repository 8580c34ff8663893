// The pieces of the word-processor layer that need no LibreOffice: the
// message framing, the Word format numbers and the dialog file types.
#include "mswordutil.h"
#include "officeclient.h"
#include "officeerror.h"
#include "officefileformats.h"
#include "officeprotocol.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using office_protocol::EncodeFrame;
using office_protocol::TFrameReader;

TEST(OfficeProtocol, FramesSurviveAnySplitOfTheStream)
{
    QByteArray tile(256 * 4, '\x7f');
    tile[0] = '\0';
    const QByteArray stream = EncodeFrame(QJsonObject{{"re", 1}, {"ok", true}}, tile)
        + EncodeFrame(QJsonObject{{"ev", "cursor"}, {"doc", 3}})
        + EncodeFrame(QJsonObject{{"re", 2}, {"text", QStringLiteral("äöü\n")}});
    for (int chunk : {1, 3, 7, 100, int(stream.size())}) {
        SCOPED_TRACE(chunk);
        TFrameReader reader;
        std::vector<office_protocol::TFrame> frames;
        for (qsizetype i = 0; i < stream.size(); i += chunk) {
            reader.Append(stream.mid(i, chunk));
            while (auto f = reader.Next())
                frames.push_back(*f);
        }
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0].payload, tile);
        EXPECT_EQ(frames[1].header.value("ev").toString(), QStringLiteral("cursor"));
        EXPECT_TRUE(frames[1].payload.isEmpty());
        EXPECT_EQ(frames[2].header.value("text").toString(), QStringLiteral("äöü\n"));
        EXPECT_FALSE(reader.Broken());
    }
}

TEST(OfficeProtocol, DamagedStreamIsReportedNotGuessed)
{
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"header longer than frame", QByteArray::fromHex("0000000800000010") + "{}xxxxxx"},
        {"absurd length", QByteArray::fromHex("7fffffff00000002") + "{}"},
        {"header an array", QByteArray::fromHex("0000000600000002") + "[]"},
        {"header not JSON", QByteArray::fromHex("0000000700000003") + "abc"},
        // Found by the fuzzer: 0xFFFFFFFF + 4 wrapped round to 3 and passed.
        {"header length that wraps round", QByteArray::fromHex("000000ffffffffff") + QByteArray(255, 'x')},
        {"header length 0xFFFFFFFC", QByteArray::fromHex("00000100fffffffc") + QByteArray(256, '{')},
        {"frame shorter than its header length field", QByteArray::fromHex("0000000200000000") + "{}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFrameReader reader;
        reader.Append(c.bytes);
        EXPECT_FALSE(reader.Next().has_value());
        EXPECT_TRUE(reader.Broken());
    }
}

TEST(MsWordUtil, WordFormatsMapToLibreOfficeFormats)
{
    using namespace word_const;
    const struct {
        TOleEnum format;
        const char* name;
    } cases[] = {
        {wdFormatDocument, "doc"},        {wdFormatRTF, "rtf"},         {wdFormatText, "txt"},
        {wdFormatUnicodeText, "txt"},     {wdFormatFilteredHTML, "html"}, {wdFormatHTML, "html"},
        {wdFormatXMLDocument, "docx"},    {wdFormatDocumentDefault, "docx"}, {wdFormatPDF, "pdf"},
        {wdFormatOpenDocumentText, "odt"}, {9 /* web archive */, ""},  {11 /* Word 2003 XML */, ""},
        {-1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TMsWordUtil::FormatName(c.format).toStdString(), c.name) << c.format;
    EXPECT_EQ(TMsWordUtil::FormatForFile(QStringLiteral("/a/B.DOCX")).toStdString(), "docx");
    EXPECT_EQ(TMsWordUtil::FormatForFile(QStringLiteral("page.htm")).toStdString(), "html");
    EXPECT_TRUE(TMsWordUtil::FormatForFile(QStringLiteral("noext")).isEmpty());
}

TEST(OfficeFileFormats, DialogChoicesGiveFormatAndSuffix)
{
    EXPECT_EQ(TOfficeFileFormats::ExportNameFilters().size(), 5);
    for (const auto& f : TOfficeFileFormats::ExportFormats()) {
        EXPECT_EQ(&TOfficeFileFormats::ExportFormatFor(f.nameFilter), &f);
        EXPECT_TRUE(f.nameFilter.contains(QStringLiteral("*.") + f.suffix));
    }
    const auto& html = TOfficeFileFormats::ExportFormatFor(QStringLiteral("Web Page, Filtered (*.html)"));
    EXPECT_EQ(html.format, QStringLiteral("html"));
    EXPECT_EQ(TOfficeFileFormats::WithSuffix(QStringLiteral("/tmp/lesson"), html), QStringLiteral("/tmp/lesson.html"));
    EXPECT_EQ(TOfficeFileFormats::WithSuffix(QStringLiteral("/tmp/lesson.htm"), html), QStringLiteral("/tmp/lesson.htm"));
    EXPECT_EQ(TOfficeFileFormats::ExportFormatFor(QStringLiteral("unknown")).format, QStringLiteral("docx"));

    // A typed extension names the format written, whatever filter is chosen.
    const QString docxFilter = TOfficeFileFormats::ExportFormats().front().nameFilter;
    const struct {
        const char* file;
        const char* format;
    } typed[] = {
        {"/tmp/lesson.odt", "odt"}, {"/tmp/Lesson.RTF", "rtf"}, {"/tmp/page.htm", "html"},
        {"/tmp/old.doc", "doc"},    {"/tmp/lesson", "docx"},    {"/tmp/lesson.v2", "docx"},
    };
    for (const auto& t : typed)
        EXPECT_EQ(TOfficeFileFormats::ExportFormatForFile(QString::fromLatin1(t.file), docxFilter).toStdString(), t.format) << t.file;
    EXPECT_EQ(TOfficeFileFormats::ExportFormatForFile(QStringLiteral("/tmp/lesson"), html.nameFilter), QStringLiteral("html"));
    EXPECT_TRUE(TOfficeFileFormats::ImportNameFilter().contains(QLatin1String("*.docx")));
    EXPECT_TRUE(TOfficeFileFormats::ImportNameFilter().contains(QLatin1String("*.rtf")));
}

TEST(OfficeClient, HelperThatCannotStartFailsCallsInsteadOfHanging)
{
    QTemporaryDir work;
    TOfficeClient client(work.path(), work.filePath(QStringLiteral("no-such-helper")));
    QSignalSpy failed(&client, &TOfficeClient::HelperFailed);
    EXPECT_FALSE(client.WaitReady(20000));
    EXPECT_EQ(failed.count(), 1);
    try {
        client.NewDocument();
        FAIL() << "a document without a word processor";
    } catch (const EOfficeError& e) {
        EXPECT_FALSE(e.Message().isEmpty());
    }
    // Input for a helper that is not there is dropped, not queued for ever.
    client.Post(QStringLiteral("key"), QJsonObject{{"doc", 1}});
}

} // namespace
