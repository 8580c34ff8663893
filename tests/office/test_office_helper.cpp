// Who the word-processor helper serves. It reads and writes the user's files
// for whoever drives it, so only the program that started it may: every
// connection must show the token the program handed over on standard input.
#include "officeclient.h"
#include "officeprotocol.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

const QByteArray kToken = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

// One raw connection to a helper: sends a request, reads one reply.
class TRawConnection {
public:
    explicit TRawConnection(const QString& server) { m_socket.connectToServer(server); }
    bool Connected() { return m_socket.state() == QLocalSocket::ConnectedState || m_socket.waitForConnected(1000); }
    void Send(const QJsonObject& request) { m_socket.write(office_protocol::EncodeFrame(request)); m_socket.flush(); }
    // The next frame, or nothing when the helper closed the connection or
    // said nothing within the time.
    std::optional<office_protocol::TFrame> Reply(int timeoutMs = 15000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            m_reader.Append(m_socket.readAll());
            if (auto f = m_reader.Next())
                return f;
            if (m_socket.state() != QLocalSocket::ConnectedState)
                return std::nullopt;
            m_socket.waitForReadyRead(100);
        }
        return std::nullopt;
    }
    bool ClosedByHelper(int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (m_socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
            m_socket.waitForDisconnected(100);
        return m_socket.state() != QLocalSocket::ConnectedState;
    }

private:
    QLocalSocket m_socket;
    office_protocol::TFrameReader m_reader;
};

// A helper started by hand, with a token the test knows.
class THelperProcess {
public:
    THelperProcess(const QString& program, const QString& work)
        : m_server(work + "/h.sock")
    {
        m_process.setProgram(program);
        m_process.setArguments({"--server", m_server, "--profile", work + "/profile"});
        m_process.start();
        m_process.waitForStarted(10000);
        m_process.write(kToken + '\n');
        m_process.closeWriteChannel();
    }
    ~THelperProcess()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // Waits until the helper listens (LibreOffice takes a few seconds).
    bool Listening()
    {
        QDeadlineTimer deadline(120000);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            QLocalSocket probe;
            probe.connectToServer(m_server);
            if (probe.waitForConnected(200))
                return true; // a silent connection, dropped at once: harmless
            m_process.waitForFinished(50);
        }
        return false;
    }
    const QString& Server() const { return m_server; }
    qint64 Pid() const { return m_process.processId(); }
    bool Running() const { return m_process.state() == QProcess::Running; }

private:
    QString m_server;
    QProcess m_process;
};

QJsonObject Hello(const QVariant& token, int id = 1)
{
    QJsonObject h{{"id", id}, {"op", "hello"}};
    if (token.isValid())
        h["token"] = token.toString();
    return h;
}

} // namespace

TEST(OfficeHelperTrust, OnlyAConnectionWithTheTokenIsServed)
{
    QTemporaryDir work;
    THelperProcess helper(QStringLiteral(VANTOLI_OFFICE_TEST_HELPER), work.path());
    ASSERT_TRUE(helper.Listening());

    // The token is nowhere another user can read it.
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(helper.Pid()));
    ASSERT_TRUE(cmdline.open(QIODevice::ReadOnly));
    EXPECT_FALSE(cmdline.readAll().contains(kToken));

    // A stranger that connects first and says nothing keeps nobody out.
    TRawConnection silent(helper.Server());
    ASSERT_TRUE(silent.Connected());

    struct Case { const char* what; QJsonObject first; } cases[] = {
        {"no token", Hello(QVariant())},
        {"a wrong token", Hello(QString(kToken).replace(0, 1, "f"))},
        {"the token cut short", Hello(QString(kToken.left(32)))},
        {"the token with more after it", Hello(QString(kToken + "00"))},
        {"an empty token", Hello(QString())},
        {"a request before the hello", QJsonObject{{"id", 1}, {"op", "stats"}}},
        {"a crash before the hello", QJsonObject{{"id", 1}, {"op", "crash"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRawConnection stranger(helper.Server());
        ASSERT_TRUE(stranger.Connected());
        // The request after the first frame goes only once the refusal is
        // read: a helper that closes a connection with data unread resets
        // it, and the refusal itself could be lost on the way.
        stranger.Send(c.first);
        const auto reply = stranger.Reply();
        ASSERT_TRUE(reply.has_value());
        EXPECT_FALSE(reply->header.value("ok").toBool());
        EXPECT_TRUE(reply->header.value("error").toString().contains("Refused"));
        stranger.Send(QJsonObject{{"id", 2}, {"op", "stats"}});
        EXPECT_FALSE(stranger.Reply(1000).has_value()) << "nothing after the refusal is answered";
        EXPECT_TRUE(stranger.ClosedByHelper());
        EXPECT_TRUE(helper.Running());
    }

    // The program's connection: the hello is answered, then requests are.
    TRawConnection program(helper.Server());
    ASSERT_TRUE(program.Connected());
    program.Send(Hello(QString(kToken), 7));
    program.Send(QJsonObject{{"id", 8}, {"op", "stats"}});
    auto hello = program.Reply();
    ASSERT_TRUE(hello.has_value());
    EXPECT_EQ(hello->header.value("re").toInt(), 7);
    EXPECT_TRUE(hello->header.value("ok").toBool());
    EXPECT_TRUE(hello->header.contains("initMs"));
    auto stats = program.Reply();
    ASSERT_TRUE(stats.has_value());
    EXPECT_EQ(stats->header.value("re").toInt(), 8);
    EXPECT_TRUE(stats->header.value("ok").toBool());

    // With the token but after the program: still one program per helper.
    TRawConnection second(helper.Server());
    ASSERT_TRUE(second.Connected());
    second.Send(Hello(QString(kToken)));
    const auto refused = second.Reply();
    ASSERT_TRUE(refused.has_value());
    EXPECT_FALSE(refused->header.value("ok").toBool());
    EXPECT_TRUE(second.ClosedByHelper());
    program.Send(QJsonObject{{"id", 9}, {"op", "stats"}});
    stats = program.Reply();
    ASSERT_TRUE(stats.has_value());
    EXPECT_EQ(stats->header.value("re").toInt(), 9);
}

TEST(OfficeHelperTrust, WithoutATokenOnStandardInputTheHelperDoesNotStart)
{
    QTemporaryDir work;
    QProcess p;
    p.start(QStringLiteral(VANTOLI_OFFICE_HELPER), {"--server", work.path() + "/h.sock", "--profile", work.path() + "/p"});
    ASSERT_TRUE(p.waitForStarted(10000));
    p.write("short\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(work.path() + "/h.sock"));
}

TEST(OfficeHelperTrust, TheProgramsHelperHasNoTestOperations)
{
    // The client connects with its own token; crash and stall are not
    // operations of the helper the program ships.
    QTemporaryDir work;
    TOfficeClient client(work.path(), QStringLiteral(VANTOLI_OFFICE_HELPER));
    client.Start();
    ASSERT_TRUE(client.WaitReady(120000));
    const qint64 pid = client.HelperPid();
    for (const char* op : {"crash", "stall"}) {
        try {
            client.Call(QString::fromLatin1(op), QJsonObject{{"ms", 60000}}, {}, 20000);
            ADD_FAILURE() << op << " was taken";
        } catch (const std::exception& e) {
            // Refused at once as a request without a document: not a helper
            // that died or went silent.
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains("No such document")) << e.what();
        }
    }
    EXPECT_EQ(client.HelperPid(), pid);
    EXPECT_EQ(client.RestartCount(), 0);

    // Someone else on the program's own socket gets nothing either.
    TRawConnection stranger(work.path() + "/office.sock");
    ASSERT_TRUE(stranger.Connected());
    stranger.Send(Hello(QVariant()));
    const auto reply = stranger.Reply();
    ASSERT_TRUE(reply.has_value());
    EXPECT_FALSE(reply->header.value("ok").toBool());
    EXPECT_NO_THROW(client.Call(QStringLiteral("stats")));
}
