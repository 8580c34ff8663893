// The FTP uploader against a real FTP server on 127.0.0.1.

#include "app/uploaders/ftpfileuploader.h"
#include "ftptestserver.h"
#include "testutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int UploadTimeoutMs = 60000;
const QString VisitPath = QStringLiteral("http://pics.example/up/");

// What the callbacks of one Upload call saw, in order.
struct UploadRecord {
    struct File {
        bool Success;
        QString SrcFile, DestUrl, Error;
    };
    std::vector<File> Files;
    std::optional<std::pair<int, int>> Summary; // total, done
    std::optional<QString> Error;
    std::vector<QString> Order; // "file", "summary", "error"
    bool AllOnMainThread = true;
    // Called from the single-file callback: (index of the report, continueNext).
    std::function<void(size_t, bool&)> OnFile;

    // The callbacks share this token; it expires once the thread has ended
    // and let its callbacks go, which is when a test may look at the end state.
    std::shared_ptr<int> Token = std::make_shared<int>(0);
    std::weak_ptr<int> Alive = Token;

    void Check() { AllOnMainThread = AllOnMainThread && QThread::currentThread() == qApp->thread(); }

    TSingleFileUploaderCallback FileCallback()
    {
        return [this, t = Token](bool ok, const QString& src, const QString& url, const Exception* e, bool& next) {
            Check();
            Order.push_back(QStringLiteral("file"));
            Files.push_back({ok, src, url, e ? e->Message() : QString()});
            EXPECT_TRUE(next) << "continueNext is true on entry";
            if (OnFile)
                OnFile(Files.size() - 1, next);
        };
    }
    TFileUploaderSummaryCallback SummaryCallback()
    {
        return [this, t = Token](int total, int done) {
            Check();
            Order.push_back(QStringLiteral("summary"));
            Summary = {total, done};
        };
    }
    TFileUploaderOnErrorCallback ErrorCallback()
    {
        return [this, t = Token](const Exception& e) {
            Check();
            Order.push_back(QStringLiteral("error"));
            Error = e.Message();
        };
    }
    // Hands the token over to the callbacks only: call once after Upload.
    void Release() { Token.reset(); }
    bool ThreadGone() const { return Alive.expired(); }
};

QStringList FilesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

QStringList FoldersIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Payload(int size, char seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>(seed + i * 7 + i / 251);
    return data;
}

const QRegularExpression SessionFolderName(QStringLiteral("^F\\d{17}$"));

class FtpUploaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Local.isValid());
        StartServer();
    }
    void TearDown() override
    {
        // Threads free themselves through the event loop; let them.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A fresh server with an empty root, and a fresh uploader set up for it.
    // readOnlyDir: the root holds a folder "readonly" in which the user may
    // not make folders.
    // tlsDir: the server offers and requires TLS with the certificate made
    // there (FtpTestServer::MakeCertificates).
    void StartServer(bool readOnlyDir = false, const QString& tlsDir = QString())
    {
        Uploader.reset();
        Server = std::make_unique<FtpTestServer>();
        if (readOnlyDir)
            Server->AddReadOnlyDir(QStringLiteral("readonly"));
        if (!tlsDir.isEmpty())
            Server->UseTls(tlsDir + QStringLiteral("/server.pem"), tlsDir + QStringLiteral("/server.key"));
        QString error;
        ASSERT_TRUE(Server->Start(&error)) << error.toStdString();
        Uploader = std::make_unique<TFtpFileUploader>();
        TFtpFileUploaderConfig* c = Uploader->FtpConfig();
        c->SetHost(QStringLiteral("127.0.0.1"));
        c->SetPort(Server->Port());
        c->SetUserName(Server->UserName());
        c->SetPassword(Server->Password());
        c->SetVisitPath(VisitPath);
    }

    TFtpFileUploaderConfig& Config() { return *Uploader->FtpConfig(); }

    // A local file to upload, under the test's temporary folder.
    QString LocalFile(const QString& relPath, const QByteArray& data)
    {
        const QString path = Local.filePath(relPath);
        EXPECT_TRUE(testutil::writeFile(path, data)) << path.toStdString();
        return path;
    }

    QString ServerPath(const QString& relPath) const { return QDir(Server->Root()).filePath(relPath); }
    void MakeServerDir(const QString& relPath) { ASSERT_TRUE(QDir(Server->Root()).mkpath(relPath)); }

    // Starts the upload; the test then waits with WaitForThread.
    void Start(const QStringList& files, UploadRecord& r)
    {
        Uploader->Upload(files, r.FileCallback(), r.SummaryCallback(), r.ErrorCallback());
        r.Release();
    }
    static bool WaitForThread(UploadRecord& r) { return testutil::waitUntil([&] { return r.ThreadGone(); }, UploadTimeoutMs); }
    bool Run(const QStringList& files, UploadRecord& r)
    {
        Start(files, r);
        return WaitForThread(r);
    }

    // The one session folder made in dir.
    QString SessionFolder(const QString& dir)
    {
        const QStringList folders = FoldersIn(ServerPath(dir));
        EXPECT_EQ(folders.size(), 1) << folders.join(u',').toStdString();
        if (folders.size() != 1)
            return {};
        EXPECT_TRUE(SessionFolderName.match(folders[0]).hasMatch()) << folders[0].toStdString();
        return folders[0];
    }

    QTemporaryDir Local;
    std::unique_ptr<FtpTestServer> Server;
    std::unique_ptr<TFtpFileUploader> Uploader;
};

// Name choice in one call: a name already taken in the session folder gets
// "_0"; without a session folder every file gets its own stamped prefix (and
// "_0" when two stamps coincide). Everything goes over one login.
TEST_F(FtpUploaderTest, SameNameFromTwoFoldersGetsTwoServerNames)
{
    for (const bool sessionDir : {true, false}) {
        SCOPED_TRACE(sessionDir ? "session folder" : "stamped names");
        if (!sessionDir)
            StartServer();
        MakeServerDir(QStringLiteral("up"));
        Config().SetUploadDir(QStringLiteral("up"));
        Config().SetAutoCreateSessionDir(sessionDir);
        const QStringList files = {LocalFile(QStringLiteral("one/a.png"), "first"),
                                   LocalFile(QStringLiteral("two/a.png"), "second"),
                                   LocalFile(QStringLiteral("two/b.png"), "third")};
        UploadRecord r;
        ASSERT_TRUE(Run(files, r));
        ASSERT_FALSE(r.Error) << r.Error->toStdString();
        ASSERT_EQ(r.Files.size(), 3u);
        EXPECT_EQ(r.Summary, std::make_pair(3, 3));
        EXPECT_TRUE(r.AllOnMainThread);
        EXPECT_EQ(Server->LoginCount(), 1) << "one control connection for the whole call";

        QString folder = QStringLiteral("up");
        QString urlPrefix = VisitPath;
        if (sessionDir) {
            const QString session = SessionFolder(QStringLiteral("up"));
            folder += QLatin1Char('/') + session;
            urlPrefix += session + QLatin1Char('/');
            EXPECT_EQ(FilesIn(ServerPath(folder)),
                      QStringList({QStringLiteral("a.png"), QStringLiteral("a_0.png"), QStringLiteral("b.png")}));
        } else {
            EXPECT_TRUE(FoldersIn(ServerPath(folder)).isEmpty());
            EXPECT_EQ(FilesIn(ServerPath(folder)).size(), 3);
        }
        const QByteArray contents[] = {"first", "second", "third"};
        const QRegularExpression stamped(QStringLiteral("^F\\d{17}_(a|a_0|b)\\.png$"));
        QStringList names;
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const auto& f = r.Files[i];
            EXPECT_TRUE(f.Success) << f.Error.toStdString();
            EXPECT_EQ(f.SrcFile, files[i]);
            ASSERT_TRUE(f.DestUrl.startsWith(urlPrefix)) << f.DestUrl.toStdString();
            const QString name = f.DestUrl.mid(urlPrefix.size());
            names << name;
            if (!sessionDir) {
                EXPECT_TRUE(stamped.match(name).hasMatch()) << name.toStdString();
            }
            EXPECT_EQ(testutil::readFile(ServerPath(folder + QLatin1Char('/') + name)), contents[i]);
        }
        names.removeDuplicates();
        EXPECT_EQ(names.size(), 3);
        if (sessionDir) {
            EXPECT_EQ(names, QStringList({QStringLiteral("a.png"), QStringLiteral("a_0.png"), QStringLiteral("b.png")}));
        }
    }
}

// An empty file of the chosen name does not count as taken: it is
// overwritten. With AutoDestFileName off an existing file is replaced.
TEST_F(FtpUploaderTest, ExistingFilesThatAreReplaced)
{
    {
        SCOPED_TRACE("empty file of the chosen name");
        Config().SetAutoCreateSessionDir(true);
        UploadRecord r;
        ASSERT_TRUE(Run({LocalFile(QStringLiteral("x/a.png"), ""), LocalFile(QStringLiteral("y/a.png"), "data")}, r));
        ASSERT_FALSE(r.Error) << r.Error->toStdString();
        const QString session = SessionFolder(QString());
        ASSERT_EQ(r.Files.size(), 2u);
        for (const auto& f : r.Files) {
            EXPECT_TRUE(f.Success) << f.Error.toStdString();
            EXPECT_EQ(f.DestUrl, VisitPath + session + QStringLiteral("/a.png"));
        }
        EXPECT_EQ(FilesIn(ServerPath(session)), QStringList{QStringLiteral("a.png")});
        EXPECT_EQ(testutil::readFile(ServerPath(session + QStringLiteral("/a.png"))), "data");
        EXPECT_EQ(r.Summary, std::make_pair(2, 2));
    }
    {
        SCOPED_TRACE("AutoDestFileName off");
        StartServer();
        MakeServerDir(QStringLiteral("up"));
        ASSERT_TRUE(testutil::writeFile(ServerPath(QStringLiteral("up/a.png")), "old contents, longer than the new"));
        Config().SetUploadDir(QStringLiteral("up"));
        Config().SetAutoDestFileName(false);
        UploadRecord r;
        ASSERT_TRUE(Run({LocalFile(QStringLiteral("a.png"), "new")}, r));
        ASSERT_FALSE(r.Error) << r.Error->toStdString();
        ASSERT_EQ(r.Files.size(), 1u);
        EXPECT_TRUE(r.Files[0].Success);
        EXPECT_EQ(r.Files[0].DestUrl, VisitPath + QStringLiteral("a.png"));
        EXPECT_EQ(FilesIn(ServerPath(QStringLiteral("up"))), QStringList{QStringLiteral("a.png")});
        EXPECT_EQ(testutil::readFile(ServerPath(QStringLiteral("up/a.png"))), "new");
    }
}

// The address is the visit path followed by the server name, joined with "/"
// only for a session folder; it names the file the server really holds.
TEST_F(FtpUploaderTest, AddressesFollowTheVisitPath)
{
    struct Case {
        QString VisitPath;
        bool SessionDir;
        QString Pattern; // of the whole address; group 1 is the server path
    };
    const Case cases[] = {
        {QStringLiteral("http://h.example/pics"), false, QStringLiteral("^http://h\\.example/pics(F\\d{17}_a\\.png)$")},
        {QStringLiteral("http://h.example/pics/"), false, QStringLiteral("^http://h\\.example/pics/(F\\d{17}_a\\.png)$")},
        {QStringLiteral("http://h.example/pics"), true, QStringLiteral("^http://h\\.example/pics/(F\\d{17}/a\\.png)$")},
        {QStringLiteral("http://h.example/pics/"), true, QStringLiteral("^http://h\\.example/pics/(F\\d{17}/a\\.png)$")},
    };
    const QString file = LocalFile(QStringLiteral("a.png"), "png");
    for (const Case& c : cases) {
        SCOPED_TRACE((c.VisitPath + (c.SessionDir ? " session" : "")).toStdString());
        Config().SetVisitPath(c.VisitPath);
        Config().SetAutoCreateSessionDir(c.SessionDir);
        UploadRecord r;
        ASSERT_TRUE(Run({file}, r));
        ASSERT_FALSE(r.Error) << r.Error->toStdString();
        ASSERT_EQ(r.Files.size(), 1u);
        const auto m = QRegularExpression(c.Pattern).match(r.Files[0].DestUrl);
        ASSERT_TRUE(m.hasMatch()) << r.Files[0].DestUrl.toStdString();
        EXPECT_EQ(testutil::readFile(ServerPath(m.captured(1))), "png");
    }
}

// Names that mean something in a URL or are not ASCII reach the server as
// they are; the published address carries them URL-encoded, so that "#",
// "?", "%" and spaces stay part of the file's name.
TEST_F(FtpUploaderTest, FileNamesAreStoredAsTheyAre)
{
    Config().SetAutoCreateSessionDir(true);
    const QStringList names = {QStringLiteral("a b#1%20?.png"), QStringLiteral("Übung;ä.png")};
    const QStringList encoded = {QStringLiteral("a%20b%231%2520%3F.png"), QStringLiteral("%C3%9Cbung%3B%C3%A4.png")};
    QStringList files;
    for (const QString& n : names)
        files << LocalFile(n, n.toUtf8());
    UploadRecord r;
    ASSERT_TRUE(Run(files, r));
    ASSERT_FALSE(r.Error) << r.Error->toStdString();
    const QString session = SessionFolder(QString());
    ASSERT_EQ(r.Files.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(r.Files[i].Success) << r.Files[i].Error.toStdString();
        EXPECT_EQ(r.Files[i].DestUrl, VisitPath + session + QLatin1Char('/') + encoded[i]);
        EXPECT_EQ(QUrl(r.Files[i].DestUrl).fileName(), names[i]);
        EXPECT_EQ(testutil::readFile(ServerPath(session + QLatin1Char('/') + names[i])), names[i].toUtf8());
    }
}

// The session folder is made in UploadDir and entered from there, whether
// UploadDir is relative to the login folder or absolute.
TEST_F(FtpUploaderTest, SessionFolderInRelativeAndAbsoluteUploadDir)
{
    const QString file = LocalFile(QStringLiteral("a.png"), "png");
    for (const QString& dir : {QStringLiteral("up/sub"), QStringLiteral("/up/sub"), QStringLiteral("up/sub/")}) {
        SCOPED_TRACE(dir.toStdString());
        StartServer();
        MakeServerDir(QStringLiteral("up/sub"));
        Config().SetUploadDir(dir);
        Config().SetAutoCreateSessionDir(true);
        UploadRecord r;
        ASSERT_TRUE(Run({file}, r));
        ASSERT_FALSE(r.Error) << r.Error->toStdString();
        EXPECT_EQ(r.Summary, std::make_pair(1, 1));
        const QString session = SessionFolder(QStringLiteral("up/sub"));
        EXPECT_EQ(testutil::readFile(ServerPath(QStringLiteral("up/sub/") + session + QStringLiteral("/a.png"))), "png");
        ASSERT_EQ(r.Files.size(), 1u);
        EXPECT_EQ(r.Files[0].DestUrl, VisitPath + session + QStringLiteral("/a.png"));
    }
}

// Abort while the second of three files is on its way: the second finishes
// and is reported, the third is never tried.
TEST_F(FtpUploaderTest, AbortDuringTheSecondOfThreeFiles)
{
    Config().SetAutoCreateSessionDir(true);
    const QStringList files = {LocalFile(QStringLiteral("a.png"), "a"),
                               LocalFile(QStringLiteral("slow.bin"), Payload(2 * 1024 * 1024, 's')),
                               LocalFile(QStringLiteral("c.png"), "c")};
    UploadRecord r;
    Start(files, r);
    // The server makes the file when the transfer starts.
    ASSERT_TRUE(testutil::waitUntil([&] {
        const QStringList folders = FoldersIn(Server->Root());
        return !folders.isEmpty() && QFileInfo::exists(ServerPath(folders[0] + QStringLiteral("/slow.bin")));
    }));
    EXPECT_TRUE(Uploader->IsUploading());
    ASSERT_EQ(r.Files.size(), 1u) << "the second file is still on its way";
    Uploader->Abort();
    ASSERT_TRUE(WaitForThread(r));
    ASSERT_FALSE(r.Error) << r.Error->toStdString();
    ASSERT_EQ(r.Files.size(), 2u);
    EXPECT_TRUE(r.Files[0].Success);
    EXPECT_TRUE(r.Files[1].Success) << r.Files[1].Error.toStdString();
    EXPECT_EQ(r.Summary, std::make_pair(3, 2));
    const QString session = SessionFolder(QString());
    EXPECT_EQ(FilesIn(ServerPath(session)), QStringList({QStringLiteral("a.png"), QStringLiteral("slow.bin")}));
    EXPECT_EQ(testutil::readFile(ServerPath(session + QStringLiteral("/slow.bin"))), Payload(2 * 1024 * 1024, 's'));
    EXPECT_TRUE(testutil::waitUntil([&] { return !Uploader->IsUploading(); }));
}

// A single-file callback that clears continueNext stops the upload after
// that file; so does one that throws (an exception cannot cross the event
// loop). The summary still comes.
TEST_F(FtpUploaderTest, SingleFileCallbackStopsTheUpload)
{
    const std::pair<const char*, std::function<void(size_t, bool&)>> cases[] = {
        {"continueNext false", [](size_t, bool& next) { next = false; }},
        {"callback throws", [](size_t, bool&) { throw EFileUploaderException(QStringLiteral("caller gave up")); }},
    };
    for (const auto& [name, onFile] : cases) {
        SCOPED_TRACE(name);
        StartServer();
        Config().SetAutoCreateSessionDir(true);
        UploadRecord r;
        r.OnFile = onFile;
        ASSERT_TRUE(Run({LocalFile(QStringLiteral("a.png"), "a"), LocalFile(QStringLiteral("b.png"), "b"),
                         LocalFile(QStringLiteral("c.png"), "c")},
                        r));
        EXPECT_EQ(r.Order, (std::vector<QString>{QStringLiteral("file"), QStringLiteral("summary")}));
        EXPECT_EQ(r.Summary, std::make_pair(3, 1));
        EXPECT_EQ(FilesIn(ServerPath(SessionFolder(QString()))), QStringList{QStringLiteral("a.png")});
    }
}

// Failures that end the whole call: no file is reported, the summary comes
// first, then the error with the failed step and libcurl's own words.
TEST_F(FtpUploaderTest, WholeUploadErrorsComeAfterTheSummary)
{
    // A port nobody listens on: take a free one and let it go.
    int closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    struct Case {
        const char* Name;
        std::function<void(TFtpFileUploaderConfig&)> Setup;
        QStringList Expected; // parts of the message
        bool ReadOnlyDir = false;
    };
    const Case cases[] = {
        {"wrong password", [](TFtpFileUploaderConfig& c) { c.SetPassword(QStringLiteral("wrong")); },
         {QStringLiteral("Cannot log in to the FTP server 127.0.0.1:"), QStringLiteral("\"vantoli-test\""),
          QStringLiteral("530")}},
        {"unreachable port", [&](TFtpFileUploaderConfig& c) { c.SetPort(closedPort); },
         {QStringLiteral("Cannot connect to the FTP server 127.0.0.1:%1").arg(closedPort),
          QStringLiteral("Couldn't connect to server")}},
        {"missing upload folder", [](TFtpFileUploaderConfig& c) { c.SetUploadDir(QStringLiteral("no/such")); },
         {QStringLiteral("Cannot change into the folder \"no/such\": "), QStringLiteral("directory")}},
        {"session folder that cannot be made",
         [](TFtpFileUploaderConfig& c) {
             c.SetUploadDir(QStringLiteral("readonly"));
             c.SetAutoCreateSessionDir(true);
         },
         {QStringLiteral("Cannot create the folder \"readonly/F"), QStringLiteral("550")}, true},
    };
    const QStringList files = {LocalFile(QStringLiteral("a.png"), "a"), LocalFile(QStringLiteral("b.png"), "b")};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        StartServer(c.ReadOnlyDir);
        c.Setup(Config());
        UploadRecord r;
        ASSERT_TRUE(Run(files, r));
        EXPECT_TRUE(r.Files.empty());
        EXPECT_EQ(r.Summary, std::make_pair(2, 0));
        ASSERT_TRUE(r.Error);
        for (const QString& part : c.Expected)
            EXPECT_TRUE(r.Error->contains(part)) << r.Error->toStdString() << " lacks " << part.toStdString();
        EXPECT_EQ(r.Order, (std::vector<QString>{QStringLiteral("summary"), QStringLiteral("error")}));
        EXPECT_TRUE(r.AllOnMainThread);
    }
}

// A file that fails on its own (missing locally, connection dropped by the
// server while it is sent) is reported as failed with its address, and the
// loop goes on with the next file, connecting again where needed.
TEST_F(FtpUploaderTest, FailedFileIsReportedAndTheLoopGoesOn)
{
    Config().SetAutoCreateSessionDir(true);
    const QString missing = Local.filePath(QStringLiteral("gone/none.png"));
    const QStringList files = {LocalFile(QStringLiteral("a.png"), "a"), missing,
                               LocalFile(QStringLiteral("drop.bin"), Payload(8 * 1024 * 1024, 'd')),
                               LocalFile(QStringLiteral("c.png"), "c")};
    UploadRecord r;
    ASSERT_TRUE(Run(files, r));
    ASSERT_FALSE(r.Error) << r.Error->toStdString();
    ASSERT_EQ(r.Files.size(), 4u);
    EXPECT_EQ(r.Summary, std::make_pair(4, 2));
    const QString session = SessionFolder(QString());
    const QString prefix = VisitPath + session + QLatin1Char('/');

    EXPECT_TRUE(r.Files[0].Success);
    EXPECT_FALSE(r.Files[1].Success);
    EXPECT_EQ(r.Files[1].DestUrl, prefix + QStringLiteral("none.png"));
    EXPECT_TRUE(r.Files[1].Error.startsWith(QStringLiteral("Cannot upload \"%1\" to ").arg(missing)))
        << r.Files[1].Error.toStdString();
    EXPECT_TRUE(r.Files[1].Error.contains(QStringLiteral("No such file"))) << r.Files[1].Error.toStdString();

    EXPECT_FALSE(r.Files[2].Success);
    EXPECT_EQ(r.Files[2].DestUrl, prefix + QStringLiteral("drop.bin"));
    EXPECT_TRUE(r.Files[2].Error.startsWith(QStringLiteral("Cannot upload \"%1\" to \"%2/drop.bin\": ").arg(files[2], session)))
        << r.Files[2].Error.toStdString();

    EXPECT_TRUE(r.Files[3].Success) << r.Files[3].Error.toStdString();
    EXPECT_EQ(r.Files[3].DestUrl, prefix + QStringLiteral("c.png"));
    EXPECT_EQ(testutil::readFile(ServerPath(session + QStringLiteral("/c.png"))), "c");
    EXPECT_EQ(Server->LoginCount(), 2) << "a new session after the server closed the first";
}

// Upload returns at once and the transfer never holds up the main thread:
// its event loop keeps running while a large file is sent.
TEST_F(FtpUploaderTest, MainEventLoopRunsWhileALargeFileIsSent)
{
    const QByteArray data = Payload(4 * 1024 * 1024, 'L'); // about a second at the server's slow rate
    const QString file = LocalFile(QStringLiteral("slow-large.bin"), data);
    Config().SetAutoCreateSessionDir(true);
    int ticks = 0;
    int ticksAtSummary = -1;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    UploadRecord r;
    Uploader->Upload({file}, r.FileCallback(), [&, inner = r.SummaryCallback()](int total, int done) {
        ticksAtSummary = ticks;
        inner(total, done);
    }, r.ErrorCallback());
    r.Release();
    EXPECT_FALSE(r.Summary) << "Upload must not wait for the transfer";
    ASSERT_TRUE(WaitForThread(r));
    ASSERT_FALSE(r.Error) << r.Error->toStdString();
    EXPECT_EQ(r.Summary, std::make_pair(1, 1));
    EXPECT_GE(ticksAtSummary, 10) << "the main loop stalled during the transfer";
    EXPECT_EQ(testutil::readFile(ServerPath(SessionFolder(QString()) + QStringLiteral("/slow-large.bin"))), data);
}

// The caller may delete the uploader while its thread runs, from outside or
// from inside one of its callbacks: nothing is called back afterwards, the
// rest of the files are not sent, and the thread ends by itself. Summary and
// error of a failed call come together, so no caller misses the error.
TEST_F(FtpUploaderTest, DeletingTheUploaderWhileItsThreadRuns)
{
    {
        SCOPED_TRACE("deleted while a file is sent");
        Config().SetAutoCreateSessionDir(true);
        UploadRecord r;
        Start({LocalFile(QStringLiteral("slow.bin"), Payload(16 * 1024 * 1024, 'x')), LocalFile(QStringLiteral("c.png"), "c")}, r);
        ASSERT_TRUE(testutil::waitUntil([&] {
            const QStringList folders = FoldersIn(Server->Root());
            return !folders.isEmpty() && QFileInfo::exists(ServerPath(folders[0] + QStringLiteral("/slow.bin")));
        }));
        Uploader.reset();
        ASSERT_TRUE(WaitForThread(r));
        EXPECT_TRUE(r.Order.empty());
        EXPECT_FALSE(QFileInfo::exists(ServerPath(SessionFolder(QString()) + QStringLiteral("/c.png"))));
    }
    {
        SCOPED_TRACE("deleted in the first file's callback");
        StartServer();
        Config().SetAutoCreateSessionDir(true);
        UploadRecord r;
        r.OnFile = [this](size_t, bool&) { Uploader.reset(); };
        ASSERT_TRUE(Run({LocalFile(QStringLiteral("a.png"), "a"), LocalFile(QStringLiteral("b.png"), "b"),
                         LocalFile(QStringLiteral("c.png"), "c")},
                        r));
        EXPECT_EQ(r.Order, std::vector<QString>{QStringLiteral("file")});
        EXPECT_EQ(FilesIn(ServerPath(SessionFolder(QString()))), QStringList{QStringLiteral("a.png")});
    }
    {
        // A caller that waits for the summary, as the contract allows, and
        // frees the uploader right away still learns why the upload failed.
        SCOPED_TRACE("deleted as soon as the summary came");
        StartServer();
        Config().SetPassword(QStringLiteral("wrong"));
        UploadRecord r;
        Start({LocalFile(QStringLiteral("a.png"), "a")}, r);
        ASSERT_TRUE(testutil::waitUntil([&] { return r.Summary.has_value(); }, UploadTimeoutMs));
        Uploader.reset();
        ASSERT_TRUE(WaitForThread(r));
        EXPECT_EQ(r.Order, (std::vector<QString>{QStringLiteral("summary"), QStringLiteral("error")}));
    }
}

// Every callback is optional; an upload without any still stores the files,
// and one that fails ends quietly.
TEST_F(FtpUploaderTest, UploadWithoutCallbacks)
{
    Config().SetUploadDir(QStringLiteral("/"));
    const QString file = LocalFile(QStringLiteral("a.png"), "a");
    Config().SetAutoDestFileName(false);
    Uploader->Upload({file}, nullptr, nullptr, nullptr);
    ASSERT_TRUE(testutil::waitUntil([&] { return !Uploader->IsUploading(); }, UploadTimeoutMs));
    EXPECT_EQ(testutil::readFile(ServerPath(QStringLiteral("a.png"))), "a");

    Config().SetPassword(QStringLiteral("wrong"));
    Uploader->Upload({file}, nullptr, nullptr, nullptr);
    ASSERT_TRUE(testutil::waitUntil([&] { return !Uploader->IsUploading(); }, UploadTimeoutMs));
}

// Encrypted uploads: the certificate must be one the trusted store vouches
// for and must name the host connected to; anything else ends the upload
// before the user name or the password is sent.
TEST_F(FtpUploaderTest, TlsUploadsOnlyToAServerThatProvesItsName)
{
    QTemporaryDir good, wrongName;
    ASSERT_EQ(FtpTestServer::MakeCertificates(good.path(), QStringLiteral("IP:127.0.0.1")), QString());
    ASSERT_EQ(FtpTestServer::MakeCertificates(wrongName.path(), QStringLiteral("DNS:other.example")), QString());
    struct Case {
        const char* what;
        QString certDir;  // the server's certificate
        QString caFile;   // what the uploader trusts; empty: the system's store
        const char* error; // empty: the upload works
    } cases[] = {
        {"a certificate of the trusted authority for this address", good.path(), good.filePath("ca.pem"), ""},
        {"a certificate the system's store does not know", good.path(), QString(), "could not prove"},
        {"a certificate for another host name", wrongName.path(), wrongName.filePath("ca.pem"), "could not prove"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartServer(false, c.certDir);
        Config().SetUseTls(true);
        Config().SetTrustedCaFile(c.caFile);
        Config().SetAutoDestFileName(false);
        UploadRecord r;
        ASSERT_TRUE(Run({LocalFile("a.png", "png bytes")}, r));
        ASSERT_TRUE(r.Summary);
        if (!*c.error) {
            ASSERT_FALSE(r.Error) << r.Error->toStdString();
            ASSERT_EQ(r.Files.size(), 1u);
            EXPECT_TRUE(r.Files[0].Success) << r.Files[0].Error.toStdString();
            EXPECT_EQ(r.Files[0].DestUrl, VisitPath + QStringLiteral("a.png"));
            EXPECT_EQ(testutil::readFile(ServerPath("a.png")), QByteArray("png bytes"));
            EXPECT_EQ(Server->LoginCount(), 1);
        } else {
            ASSERT_TRUE(r.Error);
            EXPECT_TRUE(r.Error->contains(QLatin1String(c.error))) << r.Error->toStdString();
            EXPECT_TRUE(r.Error->contains(QStringLiteral("127.0.0.1:%1").arg(Server->Port()))) << r.Error->toStdString();
            EXPECT_EQ(*r.Summary, std::make_pair(1, 0));
            EXPECT_TRUE(FilesIn(Server->Root()).isEmpty());
            EXPECT_EQ(Server->LoginCount(), 0);
        }
    }
}

// A server that does not offer TLS (or something in the way that strips
// it): the upload stops at the refused AUTH TLS. Nothing after it reaches
// the server, the account least of all.
TEST_F(FtpUploaderTest, TlsNeverFallsBackToClearText)
{
    QTcpServer fake;
    ASSERT_TRUE(fake.listen(QHostAddress::LocalHost));
    QByteArray received;
    QObject::connect(&fake, &QTcpServer::newConnection, &fake, [&] {
        QTcpSocket* s = fake.nextPendingConnection();
        s->write("220 plain server\r\n");
        QObject::connect(s, &QTcpSocket::readyRead, s, [&received, s] {
            while (s->canReadLine()) {
                const QByteArray line = s->readLine();
                received += line;
                s->write(line.startsWith("AUTH") ? "502 Command not implemented\r\n" : "530 Not logged in\r\n");
            }
        });
    });
    Config().SetPort(fake.serverPort());
    Config().SetUseTls(true);
    UploadRecord r;
    ASSERT_TRUE(Run({LocalFile("a.png", "png bytes")}, r));
    ASSERT_TRUE(r.Error);
    EXPECT_TRUE(r.Error->contains(QStringLiteral("does not offer encryption"))) << r.Error->toStdString();
    EXPECT_TRUE(received.startsWith("AUTH TLS\r\n")) << received.constData();
    EXPECT_FALSE(received.contains("USER")) << received.constData();
    EXPECT_FALSE(received.contains("PASS")) << received.constData();
    EXPECT_FALSE(received.contains(Server->Password().toUtf8())) << received.constData();
    EXPECT_EQ(*r.Summary, std::make_pair(1, 0));
}

// Without the option nothing changes: the plain server of every other test.
TEST_F(FtpUploaderTest, TlsIsOffUnlessAsked)
{
    EXPECT_FALSE(TFtpFileUploaderConfig().UseTls());
    Config().SetAutoDestFileName(false);
    UploadRecord r;
    ASSERT_TRUE(Run({LocalFile("a.png", "x")}, r));
    EXPECT_FALSE(r.Error);
    EXPECT_EQ(testutil::readFile(ServerPath("a.png")), QByteArray("x"));
}

} // namespace
