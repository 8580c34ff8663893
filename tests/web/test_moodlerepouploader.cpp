// The repository uploader and its protocol pieces, over a scripted site: no
// engine, no page.
#include "app/uploaders/moodlerepouploaders.h"
#include "utillib/objutils.h"

#include <QMetaClassInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

class TFakeSite : public IMoodleRepoUploadSite {
public:
    TMoodleRepoPageValues Values{QStringLiteral("sk12345678"), 3, QStringLiteral("editor"), QStringLiteral("4f1a2b3c4d5e6"),
                                 414486992, -1, 25};
    QStringList Answers; // one per post, in order; "" when exhausted
    QList<QStringList> PostedParams;
    QList<QStringList> PostedFiles;
    QStringList ReadEditors;
    std::function<void()> DuringPost;
    bool AbortCalled = false;
    bool ThrowOnRead = false;

    TMoodleRepoPageValues ReadUploadPageValues(const QString& editorId, const QString& itemType) override
    {
        ReadEditors << editorId + "/" + itemType;
        if (ThrowOnRead)
            throw Exception(QStringLiteral("TypeError: Cannot read properties of undefined (reading 'image')"));
        return Values;
    }
    QString PostUpload(const QString&, const QStringList& params, const QStringList& files) override
    {
        PostedParams << params;
        PostedFiles << files;
        if (DuringPost)
            DuringPost();
        if (AbortCalled)
            throw EFileUploaderException(QStringLiteral("Upload aborted"));
        return Answers.isEmpty() ? QString() : Answers.takeFirst();
    }
    void AbortPost() override { AbortCalled = true; }
};

QString Url(const QString& name) { return QStringLiteral(R"({"url":"http://site/draftfile.php/5/user/draft/1/%1","id":1,"file":"%1"})").arg(name); }

TEST(MoodleRepoAnswer, MembersAreReadInTheirWrittenOrder)
{
    struct Case { const char* answer; const char* url; const char* error; } cases[] = {
        {R"({"url":"http:\/\/h\/draftfile.php\/5\/a.png","id":7,"file":"a.png"})", "http://h/draftfile.php/5/a.png", nullptr},
        {R"({"URL":"u1"})", "u1", nullptr},
        {R"({"error":"x","url":"y"})", nullptr, "x"},
        {R"({"url":"y","error":"x"})", "y", nullptr},
        {R"({"Error":"Invalid sesskey","errorcode":"invalidsesskey","stacktrace":"..."})", nullptr, "Invalid sesskey"},
        {R"({"id":1,"file":"a.png","url":"last"})", "last", nullptr},
        // A name already taken: the file is stored under the new name.
        {R"({"event":"fileexists","newfile":{"filepath":"\/","filename":"a (1).png","url":"http:\/\/h\/a%20%281%29.png"},)"
         R"("existingfile":{"filepath":"\/","filename":"a.png","url":"http:\/\/h\/a.png"}})", "http://h/a%20%281%29.png", nullptr},
        // No address at all is never a success.
        {R"({})", nullptr, "Response illegal, something must be wrong"},
        {R"({"id":1,"file":"a.png"})", nullptr, "Response illegal, something must be wrong"},
        {R"({"url":""})", nullptr, "Response illegal, something must be wrong"},
        {R"({"event":"fileexists","newfile":{"filename":"a (1).png"}})", nullptr, "Response illegal, something must be wrong"},
        // JSON that is not an object.
        {R"(["url","x"])", nullptr, "Response illegal, something must be wrong"},
        {R"("http://h/a.png")", nullptr, "Response illegal, something must be wrong"},
        {"42", nullptr, "Response illegal, something must be wrong"},
        {"null", nullptr, "Response illegal, something must be wrong"},
        {"<html><body>Not Found</body></html>", nullptr, "Response illegal, something must be wrong"},
        {"", nullptr, "Response is empty, upload may be failed"},
    };
    for (const Case& c : cases) {
        try {
            const QString url = TMoodleRepoUtil::ReadUploadAnswer(QString::fromUtf8(c.answer), "url", "error");
            if (c.url)
                EXPECT_EQ(url, QString::fromUtf8(c.url)) << c.answer;
            else
                ADD_FAILURE() << c.answer << " gave " << url.toStdString();
        } catch (const EFileUploaderException& e) {
            if (c.error)
                EXPECT_EQ(e.Message(), QString::fromUtf8(c.error)) << c.answer;
            else
                ADD_FAILURE() << c.answer << " raised " << e.what();
        }
    }
    // The member names come from the settings.
    EXPECT_EQ(TMoodleRepoUtil::ReadUploadAnswer(R"({"url":"a","href":"b"})", "href", "msg"), "b");
    EXPECT_THROW(TMoodleRepoUtil::ReadUploadAnswer(R"({"error":"a"})", "href", "msg"), EFileUploaderException);
    try {
        TMoodleRepoUtil::ReadUploadAnswer(QString::fromUtf8(R"({"msg":"Datei zu gro\u00df","href":"b"})"), "href", "msg");
        ADD_FAILURE();
    } catch (const EFileUploaderException& e) {
        EXPECT_EQ(e.Message(), QString::fromUtf8("Datei zu gro\xC3\x9F"));
    }
}

TEST(MoodleRepoParams, EditorIdsAndFieldsFollowThePage)
{
    EXPECT_EQ(TMoodleRepoUtil::ExtractEditorId("id_summary_editor_ifr"), "id_summary_editor");
    EXPECT_EQ(TMoodleRepoUtil::ExtractEditorId("_ifr"), "");
    EXPECT_EQ(TMoodleRepoUtil::ExtractEditorId("id_summary_editoreditable"), "id_summary_editor");
    for (const char* bad : {"id_a_ifr_x", "id_summary_editor", "", "x_IFR", "id_a_editable_x", "xEditable"}) {
        try {
            TMoodleRepoUtil::ExtractEditorId(bad);
            ADD_FAILURE() << bad;
        } catch (const EFileUploaderException& e) {
            EXPECT_EQ(e.Message(), "Target editor id not found");
        }
    }

    TMoodleRepoPageValues v{QStringLiteral("sk12345678"), QStringLiteral("7"), QStringLiteral("editor"),
                            QStringLiteral("4f1a2b3c4d5e6"), QStringLiteral("00414486992"), 1048576.0, 25};
    EXPECT_EQ(TMoodleRepoUtil::BuildUploadParams(v),
              (QStringList{"sesskey=sk12345678", "repo_id=7", "env=editor", "client_id=4f1a2b3c4d5e6", "itemid=414486992",
                           "maxbytes=1048576", "ctx_id=25", "savepath=/", "license=allrightsreserved", "accepted_types[]=*"}));
    v.SessKey = QString();
    v.ItemId = 9876543210LL;
    const QStringList noKey = TMoodleRepoUtil::BuildUploadParams(v);
    EXPECT_EQ(noKey.first(), "repo_id=7");
    EXPECT_EQ(TMoodleRepoUtil::ParamValue(noKey, "itemid"), "9876543210");
    v.ItemId = QStringLiteral("12ab");
    EXPECT_THROW(TMoodleRepoUtil::BuildUploadParams(v), EConvertError);

    QStringList list{"a=1", "b=2"};
    TMoodleRepoUtil::SetParamValue(list, "a", "x=y");
    TMoodleRepoUtil::SetParamValue(list, "c", "3");
    TMoodleRepoUtil::SetParamValue(list, "d", "");
    EXPECT_EQ(list, (QStringList{"a=x=y", "b=2", "c=3"}));
    EXPECT_EQ(TMoodleRepoUtil::ParamValue(list, "a"), "x=y");
    TMoodleRepoUtil::SetParamValue(list, "b", "");
    EXPECT_EQ(list, (QStringList{"a=x=y", "c=3"}));
}

TEST(MoodleRepoConfig, OnlyTheNamingSwitchIsStored)
{
    auto cfg = NewConfig<TMoodleRepoFileUploaderConfig>();
    const QMetaObject* mo = cfg->metaObject();
    EXPECT_STREQ(mo->classInfo(mo->indexOfClassInfo("ClassName")).value(),
                 "TMoodleRepoFileUploader.TMoodleRepoFileUploaderConfig");
    EXPECT_TRUE(cfg->AutoDestFileName());
    EXPECT_EQ(cfg->UploadFileFieldName(), "repo_upload_file");
    EXPECT_EQ(cfg->NewFileNameFieldName(), "title");
    EXPECT_EQ(cfg->ResponseUrlFieldName(), "url");
    EXPECT_EQ(cfg->ResponseErrorFieldName(), "error");
    QStringList published;
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
        if (mo->property(i).isDesignable())
            published << mo->property(i).name();
    EXPECT_EQ(published, QStringList{"AutoDestFileName"});
    TMoodleRepoFileUploader uploader;
    EXPECT_EQ(uploader.Config()->metaObject(), &TMoodleRepoFileUploaderConfig::staticMetaObject);
    cfg->SetAutoDestFileName(false);
    uploader.SetMoodleRepoConfig(cfg.get());
    EXPECT_FALSE(uploader.MoodleRepoConfig()->AutoDestFileName());
}

struct TRun {
    QStringList Done;   // "ok <src> <url>" / "fail <src> <message>"
    QString Summary;
    QString Error;
    std::function<void(bool&)> AfterFile;

    TSingleFileUploaderCallback Single()
    {
        return [this](bool ok, const QString& src, const QString& url, const Exception* e, bool& next) {
            Done << (ok ? "ok " + src + " " + url : "fail " + src + " " + (e ? e->Message() : QString()));
            EXPECT_TRUE(next);
            if (AfterFile)
                AfterFile(next);
        };
    }
    TFileUploaderSummaryCallback Sum() { return [this](int total, int ok) { Summary = QStringLiteral("%1/%2").arg(ok).arg(total); }; }
    TFileUploaderOnErrorCallback Err() { return [this](const Exception& e) { Error = e.Message(); }; }
};

class MoodleRepoUploaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Uploader.SetUploadSite(&Site);
        Uploader.SetTargetEditorId("id_summary_editor_ifr");
        Uploader.SetMoodleRepoPostUrl("http://site/repository/repository_ajax.php?action=upload");
    }
    TFakeSite Site;
    TMoodleRepoFileUploader Uploader;
    TRun Run;
};

TEST_F(MoodleRepoUploaderTest, FilesGetStampedNamesAndTheirAddresses)
{
    Site.Answers = {Url("a.png"), Url("b.png")};
    Uploader.Upload({"/tmp/x/a.png", "/tmp/y/b.png"}, Run.Single(), Run.Sum(), Run.Err());
    EXPECT_EQ(Site.ReadEditors, QStringList{"id_summary_editor/image"});
    ASSERT_EQ(Site.PostedParams.size(), 2);
    const QString t1 = TMoodleRepoUtil::ParamValue(Site.PostedParams[0], "title");
    const QString t2 = TMoodleRepoUtil::ParamValue(Site.PostedParams[1], "title");
    const QRegularExpression stamped("^F\\d{17}_a\\.png$");
    EXPECT_TRUE(stamped.match(t1).hasMatch()) << t1.toStdString();
    EXPECT_EQ(t2, t1.chopped(5) + "b.png");
    // The title comes last, after the page's fields.
    EXPECT_EQ(Site.PostedParams[1].last(), "title=" + t2);
    EXPECT_EQ(Site.PostedParams[1].size(), 11);
    EXPECT_EQ(Site.PostedFiles[0], QStringList{"repo_upload_file=/tmp/x/a.png"});
    EXPECT_EQ(Run.Done, (QStringList{"ok /tmp/x/a.png http://site/draftfile.php/5/user/draft/1/a.png",
                                     "ok /tmp/y/b.png http://site/draftfile.php/5/user/draft/1/b.png"}));
    EXPECT_EQ(Run.Summary, "2/2");
    EXPECT_TRUE(Run.Error.isEmpty());

    auto cfg = NewConfig<TMoodleRepoFileUploaderConfig>();
    cfg->SetAutoDestFileName(false);
    Uploader.SetMoodleRepoConfig(cfg.get());
    Site.PostedParams.clear();
    Site.Answers = {Url("a.png")};
    Uploader.Upload({"/tmp/x/a.png"}, Run.Single(), Run.Sum(), Run.Err());
    EXPECT_EQ(TMoodleRepoUtil::ParamValue(Site.PostedParams[0], "title"), "a.png");
}

TEST_F(MoodleRepoUploaderTest, AFailingFileIsReportedAndTheNextOneStillGoes)
{
    Site.Answers = {R"({"error":"Invalid sesskey"})", "", "<html>", Url("d.png")};
    Uploader.Upload({"a.png", "b.png", "c.png", "d.png"}, Run.Single(), Run.Sum(), Run.Err());
    EXPECT_EQ(Run.Done, (QStringList{"fail a.png Invalid sesskey", "fail b.png Response is empty, upload may be failed",
                                     "fail c.png Response illegal, something must be wrong",
                                     "ok d.png http://site/draftfile.php/5/user/draft/1/d.png"}));
    EXPECT_EQ(Run.Summary, "1/4");
}

TEST_F(MoodleRepoUploaderTest, WithoutAFileCallbackTheFirstFailureEndsTheUpload)
{
    Site.Answers = {Url("a.png"), R"({"error":"File is too large"})", Url("c.png")};
    Uploader.Upload({"a.png", "b.png", "c.png"}, nullptr, Run.Sum(), Run.Err());
    EXPECT_EQ(Run.Error, "File is too large");
    EXPECT_TRUE(Run.Summary.isEmpty());
    EXPECT_EQ(Site.PostedParams.size(), 2);
    // With no error callback either, the caller gets the error.
    Site.Answers = {R"({"error":"File is too large"})"};
    EXPECT_THROW(Uploader.Upload({"a.png"}, nullptr, nullptr, nullptr), EFileUploaderException);
}

TEST_F(MoodleRepoUploaderTest, WholeUploadErrorsComeBeforeAnythingIsSent)
{
    Uploader.SetTargetEditorId("id_summary_editor");
    Uploader.Upload({"a.png"}, Run.Single(), Run.Sum(), Run.Err());
    EXPECT_EQ(Run.Error, "Target editor id not found");
    EXPECT_TRUE(Site.ReadEditors.isEmpty());

    Uploader.SetTargetEditorId("id_summary_editor_ifr");
    Site.ThrowOnRead = true;
    Uploader.Upload({"a.png"}, Run.Single(), Run.Sum(), Run.Err());
    EXPECT_TRUE(Run.Error.startsWith("TypeError"));
    EXPECT_TRUE(Site.PostedParams.isEmpty());
    EXPECT_TRUE(Run.Done.isEmpty());
    EXPECT_TRUE(Run.Summary.isEmpty());
    EXPECT_THROW(Uploader.Upload({"a.png"}, Run.Single(), Run.Sum(), nullptr), Exception);
}

TEST_F(MoodleRepoUploaderTest, AbortAndContinueNextStopBeforeTheNextFile)
{
    Site.Answers = {Url("a.png"), Url("b.png"), Url("c.png")};
    Run.AfterFile = [&](bool&) { Uploader.Abort(); };
    Uploader.Upload({"a.png", "b.png", "c.png"}, Run.Single(), Run.Sum(), Run.Err());
    EXPECT_EQ(Run.Done.size(), 1);
    EXPECT_EQ(Run.Summary, "1/3");
    EXPECT_FALSE(Site.AbortCalled); // nothing was in flight

    // The abort flag is cleared by the next call; ContinueNext stops it too.
    Run = TRun();
    Site.Answers = {Url("a.png"), Url("b.png")};
    Run.AfterFile = [](bool& next) { next = false; };
    Uploader.Upload({"a.png", "b.png"}, Run.Single(), Run.Sum(), Run.Err());
    EXPECT_EQ(Run.Done.size(), 1);
    EXPECT_EQ(Run.Summary, "1/2");

    // An abort during a post ends that post, and that file fails.
    Run = TRun();
    Site.Answers = {Url("a.png"), Url("b.png")};
    Site.DuringPost = [&] { Uploader.Abort(); };
    Uploader.Upload({"a.png", "b.png"}, Run.Single(), Run.Sum(), Run.Err());
    EXPECT_TRUE(Site.AbortCalled);
    EXPECT_EQ(Run.Done, QStringList{"fail a.png Upload aborted"});
    EXPECT_EQ(Run.Summary, "0/2");
}

} // namespace
