#include "moodlesitefixture.h"
#include "testutil.h"
#include "webtestutil.h"

#include "utillib/exceptions.h"
#include "web/embeddedwb.h"
#include "web/webbrowsers.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray B = "---------------------------123456789";

class BrowserPostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Site = new TMoodleSite();
        Browser = webtest::NewBrowser().release();
    }
    static void TearDownTestSuite()
    {
        delete Browser;
        delete Site;
    }
    void SetUp() override { ASSERT_TRUE(Site->IsRunning()); }

    // Posts through the browser and answers the body the site received.
    QByteArray PostedBody(const QStringList* params, const QStringList* files)
    {
        Site->ResetRequests();
        TEmbeddedWBUtil::BrowserPost(Browser, Site->Url("/post/target"), params, files);
        const auto got = Site->RequestsTo("/post/target");
        EXPECT_EQ(got.size(), 1);
        return got.isEmpty() ? QByteArray() : got.first().Body;
    }

    static TMoodleSite* Site;
    static TEmbeddedWB* Browser;
};
TMoodleSite* BrowserPostTest::Site = nullptr;
TEmbeddedWB* BrowserPostTest::Browser = nullptr;

TEST_F(BrowserPostTest, FieldsAreSentByteForByteAsUtf8)
{
    const QStringList one{"a=b"};
    EXPECT_EQ(PostedBody(&one, nullptr),
              "--" + B + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nb\r\n--" + B + "--\r\n");

    const QStringList accent{QString::fromUtf8("name=\xC3\xA9"), "empty=", "eq=x=y"};
    EXPECT_EQ(PostedBody(&accent, nullptr),
              "--" + B + "\r\nContent-Disposition: form-data; name=\"name\"\r\n\r\n\xC3\xA9\r\n"
              "--" + B + "\r\nContent-Disposition: form-data; name=\"empty\"\r\n\r\n\r\n"
              "--" + B + "\r\nContent-Disposition: form-data; name=\"eq\"\r\n\r\nx=y\r\n"
              "--" + B + "--\r\n");

    EXPECT_EQ(PostedBody(nullptr, nullptr), "--" + B + "--\r\n");
    const QStringList none;
    EXPECT_EQ(PostedBody(&none, &none), "--" + B + "--\r\n");
}

TEST_F(BrowserPostTest, FilePartsCarryTheBareFileNameAndTheTypeOfTheExtension)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("sub")));
    const QByteArray bytes("\x89PNG\r\n\x1a\n\x00\x01\xff binary", 19);
    // The part names the file only: never the folder it was read from (the
    // site would learn the user's folders), also when the path walks up.
    struct Case { const char* path; QByteArray filename; QByteArray typeLine; } cases[] = {
        {"pic.Png", "pic.Png", "Content-Type: image/png\r\n"},
        {"a.JPG", "a.JPG", "Content-Type: image/jpeg\r\n"},
        {"a.jpeg", "a.jpeg", "Content-Type: image/jpeg\r\n"},
        {"a.gif", "a.gif", "Content-Type: image/gif\r\n"},
        {"old.bmp", "old.bmp", "Content-Type: image/bmp\r\n"},
        {"w.webp", "w.webp", "Content-Type: image/webp\r\n"},
        {"doc.PDF", "doc.PDF", "Content-Type: application/pdf\r\n"},
        {"t.txt", "t.txt", "Content-Type: text/plain\r\n"},
        {"p.html", "p.html", "Content-Type: text/html\r\n"},
        {"noext", "noext", ""},
        {"sub/../sub/deep.png", "deep.png", "Content-Type: image/png\r\n"},
        {"My Pic \xC3\xA9.png", "My Pic \xC3\xA9.png", "Content-Type: image/png\r\n"},
        // A quote would end the name and let the rest become header text.
        {"q\"x.png", "q%22x.png", "Content-Type: image/png\r\n"},
    };
    for (const Case& c : cases) {
        const QString path = dir.path() + "/" + QString::fromUtf8(c.path);
        ASSERT_TRUE(testutil::writeFile(path, bytes));
        const QStringList params{"f=1"};
        const QStringList files{"repo_upload_file=" + path};
        const QByteArray body = PostedBody(&params, &files);
        EXPECT_EQ(body,
                  "--" + B + "\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n1\r\n"
                  "--" + B + "\r\nContent-Disposition: form-data; name=\"repo_upload_file\"; filename=\"" + c.filename + "\"\r\n"
                  + c.typeLine + "\r\n" + bytes + "\r\n--" + B + "--\r\n")
            << c.path;
        EXPECT_FALSE(body.contains(dir.path().toUtf8())) << c.path;
    }
    const QStringList emptyPath{"upload="};
    EXPECT_EQ(PostedBody(nullptr, &emptyPath),
              "--" + B + "\r\nContent-Disposition: form-data; name=\"upload\"; filename=\"\"\r\n"
              "Content-Transfer-Encoding: binary\r\n\r\n--" + B + "--\r\n");
}

TEST_F(BrowserPostTest, ThePostCarriesTheSessionAndTheMultipartType)
{
    ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(Browser, Site->Url("/")));
    const QString cookie = Site->Requests().last().Header("Cookie");
    PostedBody(nullptr, nullptr);
    const TSiteRequest r = Site->RequestsTo("/post/target").first();
    EXPECT_EQ(r.Method, "POST");
    EXPECT_EQ(r.Header("Content-Type"), "multipart/form-data; boundary=" + B);
    EXPECT_TRUE(r.Header("Cookie").contains("MoodleSession="));
    EXPECT_EQ(r.Header("Cookie"), cookie);
}

TEST_F(BrowserPostTest, AnUnreadableFileStopsThePostBeforeAnythingIsSent)
{
    Site->ResetRequests();
    const QStringList files{"repo_upload_file=/nonexistent/dir/pic.png"};
    EXPECT_THROW(TEmbeddedWBUtil::BrowserPost(Browser, Site->Url("/post/target"), nullptr, &files), EInOutError);
    EXPECT_TRUE(Site->RequestsTo("/post/target").isEmpty());
}

TEST_F(BrowserPostTest, TheAnswerTextComesBackWithEscapedSlashesReduced)
{
    Site->Configure(QJsonObject{{"upload_answers", QJsonArray{R"({"url":"http:\/\/h\/a\\b\\\/c","n":"\u00e9"})"}}});
    const QString answer = TEmbeddedWBUtil::BrowserPost(Browser, Site->Url("/repository/repository_ajax.php?action=upload"),
                                                        nullptr, nullptr);
    EXPECT_EQ(answer, QString::fromUtf8(R"({"url":"http://h/a\\b\\/c","n":"\u00e9"})"));
}

} // namespace
