#include "moodlesitefixture.h"
#include "testutil.h"
#include "webtestutil.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/moodlerepouploaders.h"
#include "web/embeddedwb.h"
#include "web/moodlereposite.h"
#include "web/moodlesiteconnect.h"
#include "web/webbrowsers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class MoodleRepoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Site = new TMoodleSite(); }
    static void TearDownTestSuite() { delete Site; Site = nullptr; }

    void SetUp() override
    {
        ASSERT_TRUE(Site->IsRunning());
        Site->Configure(QJsonObject{{"repositories", DefaultRepositories()}, {"itemid_as_string", false},
                                    {"upload_delay", 0}, {"upload_answers", QJsonArray()}});
        Config = Site->NewSiteConfig();
        Target = webtest::NewBrowser();
        Oper = std::make_unique<TEmbeddedWB>();
        Oper->resize(1, 1);
        TMoodleSiteConnect::LoginToMoodle(Target.get(), Config.get());
        OpenCoursePage();
        BrowserSite = std::make_unique<TMoodleRepoBrowserSite>(Target.get(), Oper.get());
        Uploader.SetUploadSite(BrowserSite.get());
        Uploader.SetTargetEditorId("id_summary_editor_ifr");
        Uploader.SetRepoItem("image");
        Uploader.SetMoodleRepoPostUrl(Config->RepoUploadUrl());
    }

    static QJsonArray DefaultRepositories()
    {
        return QJsonArray{QJsonObject{{"id", "1"}, {"type", "local"}}, QJsonObject{{"id", "2"}, {"type", "recent"}},
                          QJsonObject{{"id", "3"}, {"type", "upload"}}, QJsonObject{{"id", "4"}, {"type", "user"}}};
    }

    void OpenCoursePage()
    {
        ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(Target.get(), Site->Url("/course/edit.php?id=2")));
        ASSERT_TRUE(Target->LocationURL().endsWith("/course/edit.php?id=2")) << Target->LocationURL().toStdString();
    }

    QString Picture(const QString& name, int size = 2000)
    {
        QByteArray data("\x89PNG\r\n\x1a\n", 8);
        while (data.size() < size)
            data += char(data.size() * 7);
        const QString path = Dir.filePath(name);
        EXPECT_TRUE(testutil::writeFile(path, data));
        return path;
    }

    QStringList Upload(const QStringList& files, QString* summary = nullptr, QString* error = nullptr,
                       std::function<void()> afterFile = {})
    {
        QStringList done;
        Uploader.Upload(
            files,
            [&](bool ok, const QString& src, const QString& url, const Exception* e, bool&) {
                done << (ok ? url : "fail " + QFileInfo(src).fileName() + ": " + (e ? e->Message() : QString()));
                if (afterFile)
                    afterFile();
            },
            [&](int total, int ok) { if (summary) *summary = QStringLiteral("%1/%2").arg(ok).arg(total); },
            [&](const Exception& e) { if (error) *error = e.Message(); });
        return done;
    }

    static TMoodleSite* Site;
    std::unique_ptr<TMoodleSysConfig> Config;
    std::unique_ptr<TEmbeddedWB> Target;
    std::unique_ptr<TEmbeddedWB> Oper;
    std::unique_ptr<TMoodleRepoBrowserSite> BrowserSite;
    TMoodleRepoFileUploader Uploader;
    QTemporaryDir Dir;
};
TMoodleSite* MoodleRepoTest::Site = nullptr;

TEST_F(MoodleRepoTest, UploadParametersAreReadFromThePage)
{
    QStringList params;
    TMoodleRepoBrowserSite::FillUploadParamValues(Target.get(), "id_summary_editor_ifr", "image", params);
    const QVariantMap options = Target->ScriptValue("M.editor_tinymce.filepicker_options.id_summary_editor.image").toMap();
    const QString itemid = Target->ScriptValue("document.querySelector('input[name=\"summary_editor[itemid]\"]').value").toString();
    EXPECT_EQ(params, (QStringList{
        "sesskey=" + Target->ScriptValue("M.cfg.sesskey").toString(), "repo_id=3", "env=editor",
        "client_id=" + options.value("client_id").toString(), "itemid=" + itemid, "maxbytes=-1", "ctx_id=25",
        "savepath=/", "license=allrightsreserved", "accepted_types[]=*"}));
    EXPECT_EQ(options.value("client_id").toString().size(), 13);

    struct Variant { QJsonObject switches; const char* field; QString expected; } variants[] = {
        {{{"repositories", QJsonArray{QJsonObject{{"id", "3"}, {"type", "upload"}}, QJsonObject{{"id", "5"}, {"type", "local"}},
                                      QJsonObject{{"id", "7"}, {"type", "upload"}}}}}, "repo_id", "7"},
        {{{"repositories", QJsonArray{QJsonObject{{"id", "5"}, {"type", "local"}}}}}, "repo_id", "3"},
        {{{"itemid_as_string", "00%d"}}, "itemid", {}},
        {{{"itemid_as_string", true}}, "itemid", {}},
    };
    for (const Variant& v : variants) {
        Site->Configure(v.switches);
        OpenCoursePage();
        TMoodleRepoBrowserSite::FillUploadParamValues(Target.get(), "id_description_editor_ifr", "image", params);
        const QString digits = Target->ScriptValue("document.querySelector('input[name=\"description_editor[itemid]\"]').value").toString();
        const QString expected = v.expected.isNull() ? digits : v.expected;
        EXPECT_EQ(TMoodleRepoUtil::ParamValue(params, v.field), expected) << QJsonDocument(v.switches).toJson().toStdString();
        Site->Configure(QJsonObject{{"repositories", DefaultRepositories()}, {"itemid_as_string", false}});
    }
}

TEST_F(MoodleRepoTest, PageErrorsStopTheUploadBeforeAnythingIsSent)
{
    Site->ResetRequests();
    struct Case { const char* frameId; const char* item; const char* message; } cases[] = {
        {"id_summary_editor", "image", "Target editor id not found"},
        {"id_summary_editor_ifr_x", "image", "Target editor id not found"},
        {"_ifr", "image", "SyntaxError"},
        {"id_nothing_ifr", "image", "TypeError"},
        {"id_summary_editor_ifr", "nothing", "'_pickerOptions' is undefined"},
    };
    for (const Case& c : cases) {
        Uploader.SetTargetEditorId(c.frameId);
        Uploader.SetRepoItem(c.item);
        QString summary, error;
        const QStringList done = Upload({Picture("a.png")}, &summary, &error);
        EXPECT_TRUE(error.contains(c.message)) << c.frameId << " " << c.item << " -> " << error.toStdString();
        EXPECT_TRUE(done.isEmpty());
        EXPECT_TRUE(summary.isEmpty());
    }
    EXPECT_TRUE(Site->RequestsTo("/repository/").isEmpty());
}

TEST_F(MoodleRepoTest, ThreePicturesAreUploadedAndTheirAddressesReturned)
{
    Site->ResetRequests();
    const QString itemid = Target->ScriptValue("M.editor_tinymce.filepicker_options.id_summary_editor.image.itemid").toString();
    QString summary;
    const QStringList done = Upload({Picture("one.png"), Picture("two.jpg"), Picture("three.gif")}, &summary);
    EXPECT_EQ(summary, "3/3");
    ASSERT_EQ(done.size(), 3);
    const QRegularExpression address("^" + QRegularExpression::escape(Site->Url("/draftfile.php/5/user/draft/" + itemid + "/"))
                                     + "(F\\d{17})_(one\\.png|two\\.jpg|three\\.gif)$");
    QString stamp;
    for (const QString& url : done) {
        const auto m = address.match(url);
        ASSERT_TRUE(m.hasMatch()) << url.toStdString();
        if (stamp.isEmpty())
            stamp = m.captured(1);
        EXPECT_EQ(m.captured(1), stamp);
    }
    // What went out: the page's fields in order, the title, then the file;
    // with the session of the page.
    const auto posts = Site->RequestsTo("/repository/repository_ajax.php?action=upload");
    ASSERT_EQ(posts.size(), 3);
    EXPECT_EQ(posts[1].FieldNames(), (QStringList{"sesskey", "repo_id", "env", "client_id", "itemid", "maxbytes", "ctx_id",
                                                  "savepath", "license", "accepted_types[]", "title", "repo_upload_file"}));
    EXPECT_EQ(posts[1].Field("title"), stamp + "_two.jpg");
    EXPECT_EQ(posts[1].Field("repo_upload_file").toLatin1().size(), 2000);
    EXPECT_TRUE(posts[0].Header("Cookie").contains("MoodleSession="));
    // The visible page stays as it was.
    EXPECT_TRUE(Target->LocationURL().endsWith("/course/edit.php?id=2"));
    // The stored file is served at the returned address to the logged-in user.
    ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(Oper.get(), done[0]));
    EXPECT_EQ(Site->Requests().last().Path, QUrl(done[0]).path(QUrl::FullyEncoded));
}

TEST_F(MoodleRepoTest, ANameTakenTwiceGivesTheAddressOfTheFreeName)
{
    auto cfg = NewConfig<TMoodleRepoFileUploaderConfig>();
    cfg->SetAutoDestFileName(false);
    Uploader.SetMoodleRepoConfig(cfg.get());
    const QString pic = Picture("same.png");
    const QStringList done = Upload({pic, pic});
    ASSERT_EQ(done.size(), 2);
    EXPECT_TRUE(done[0].endsWith("/same.png")) << done[0].toStdString();
    EXPECT_TRUE(done[1].endsWith("/same%20%281%29.png")) << done[1].toStdString();
}

TEST_F(MoodleRepoTest, PerFileErrorsAreReportedAndTheUploadGoesOn)
{
    Site->Configure(QJsonObject{{"upload_answers", QJsonArray{R"({"error":"Invalid sesskey","errorcode":"invalidsesskey"})",
                                                              R"(["not","an","object"])"}}});
    QString summary;
    const QStringList done = Upload({Picture("a.png"), Picture("b.png"), Dir.filePath("missing.png"), Picture("c.png")}, &summary);
    ASSERT_EQ(done.size(), 4);
    EXPECT_EQ(done[0], "fail a.png: Invalid sesskey");
    EXPECT_EQ(done[1], "fail b.png: Response illegal, something must be wrong");
    EXPECT_TRUE(done[2].startsWith("fail missing.png: Cannot open file")) << done[2].toStdString();
    EXPECT_TRUE(done[3].endsWith("_c.png"));
    EXPECT_EQ(summary, "1/4");

    // Without a per-file callback the first failure ends it all.
    Site->Configure(QJsonObject{{"upload_answers", QJsonArray{R"({"error":"The file a.png is too large."})"}}});
    QString error;
    summary.clear();
    Uploader.Upload({Picture("a.png"), Picture("b.png")}, nullptr, [&](int t, int n) { summary = QString::number(n) + "/" + QString::number(t); },
                    [&](const Exception& e) { error = e.Message(); });
    EXPECT_EQ(error, "The file a.png is too large.");
    EXPECT_TRUE(summary.isEmpty());
}

TEST_F(MoodleRepoTest, AbortStopsBetweenFilesAndEndsAPostInFlight)
{
    QString summary;
    QStringList done = Upload({Picture("a.png"), Picture("b.png"), Picture("c.png")}, &summary, nullptr,
                              [&] { Uploader.Abort(); });
    EXPECT_EQ(done.size(), 1);
    EXPECT_EQ(summary, "1/3");

    Site->ResetRequests();
    Site->Configure(QJsonObject{{"upload_delay", 1.5}});
    QTimer::singleShot(400, [&] { Uploader.Abort(); });
    done = Upload({Picture("a.png"), Picture("b.png"), Picture("c.png")}, &summary);
    EXPECT_EQ(done, QStringList{"fail a.png: Upload aborted"});
    EXPECT_EQ(summary, "0/3");
    EXPECT_EQ(Site->RequestsTo("/repository/").size(), 1);

    // The posting browser is fit for the next run.
    Site->Configure(QJsonObject{{"upload_delay", 0}});
    done = Upload({Picture("d.png")}, &summary);
    ASSERT_EQ(done.size(), 1);
    EXPECT_TRUE(done[0].endsWith("_d.png")) << done[0].toStdString();
}

} // namespace
