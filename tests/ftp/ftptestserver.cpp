#include "ftptestserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

FtpTestServer::FtpTestServer(int slowBytesPerSecond, const QString& rootParent)
    : FRoot(rootParent.isEmpty() ? std::make_unique<QTemporaryDir>()
                                 : std::make_unique<QTemporaryDir>(rootParent + QStringLiteral("/ftp-root-XXXXXX"))),
      FSlowRate(slowBytesPerSecond)
{
    FPassword = QStringLiteral("pw-%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
}

FtpTestServer::~FtpTestServer()
{
    Stop();
}

bool FtpTestServer::Start(QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        Stop();
        return false;
    };
    if (!FRoot->isValid())
        return fail(QStringLiteral("no temporary folder"));
    QStringList args = {QStringLiteral("-u"), QStringLiteral(VANTOLI_FTP_TEST_SERVER), QStringLiteral("--root"), FRoot->path(),
                        QStringLiteral("--user"), UserName(), QStringLiteral("--password"), FPassword,
                        QStringLiteral("--slow-rate"), QString::number(FSlowRate)};
    for (const QString& dir : FReadOnlyDirs)
        args << QStringLiteral("--readonly-dir") << dir;
    if (!FTlsCert.isEmpty())
        args << QStringLiteral("--tls-cert") << FTlsCert << QStringLiteral("--tls-key") << FTlsKey;
    // The server's own warnings and tracebacks help when a test fails.
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start(QStringLiteral(VANTOLI_PYTHON3), args);
    if (!FProcess.waitForStarted(10000))
        return fail(QStringLiteral("cannot start %1: %2").arg(QStringLiteral(VANTOLI_PYTHON3), FProcess.errorString()));
    QDeadlineTimer deadline(20000);
    while (!FOutput.contains('\n')) {
        if (deadline.hasExpired() || FProcess.state() != QProcess::Running)
            return fail(QStringLiteral("the FTP server did not report its port"));
        FProcess.waitForReadyRead(100);
        FOutput += FProcess.readAllStandardOutput();
    }
    const QByteArray first = FOutput.left(FOutput.indexOf('\n')).trimmed();
    if (!first.startsWith("PORT "))
        return fail(QStringLiteral("unexpected output of the FTP server: %1").arg(QString::fromUtf8(first)));
    FPort = first.mid(5).toInt();
    return FPort > 0;
}

void FtpTestServer::Stop()
{
    if (FProcess.state() == QProcess::NotRunning)
        return;
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000)) {
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }
}

int FtpTestServer::LoginCount()
{
    // The server prints the line when the session logs in, long before a
    // test asks; a short wait collects what is still in the pipe.
    while (FProcess.waitForReadyRead(50))
        FOutput += FProcess.readAllStandardOutput();
    FOutput += FProcess.readAllStandardOutput();
    return static_cast<int>(FOutput.count("LOGIN "));
}

QString FtpTestServer::MakeCertificates(const QString& dir, const QString& subjectAltName)
{
    const QDir d(dir);
    auto run = [&](const QStringList& args) -> QString {
        QProcess p;
        p.setWorkingDirectory(dir);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return QStringLiteral("openssl %1: %2 %3")
                .arg(args.join(QLatin1Char(' ')), p.errorString(), QString::fromUtf8(p.readAll()));
        return {};
    };
    // Elliptic-curve keys: made in a moment, unlike RSA ones.
    const QStringList ecKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                               QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    QString error = run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey
                        + QStringList{QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                                      QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                                      QStringLiteral("-subj"), QStringLiteral("/CN=Test CA of one test run"),
                                      QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                                      QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
    if (!error.isEmpty())
        return error;
    error = run(QStringList{QStringLiteral("req")} + ecKey
                + QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                              QStringLiteral("server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=test server")});
    if (!error.isEmpty())
        return error;
    QFile ext(d.filePath(QStringLiteral("server.ext")));
    if (!ext.open(QIODevice::WriteOnly))
        return ext.errorString();
    ext.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n"
              "subjectAltName=" + subjectAltName.toUtf8() + "\n");
    ext.close();
    return run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
                QStringLiteral("-CA"), QStringLiteral("ca.pem"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                QStringLiteral("server.ext"), QStringLiteral("-out"), QStringLiteral("server.pem")});
}
