#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A real FTP server for one test: ftp_test_server.py (pyftpdlib) on
// 127.0.0.1, on a port the system picks, serving a throw-away user from a
// temporary root folder. Stopped and removed by the destructor.
//
// Stored files whose name holds "slow" are received slowly, and an upload of
// a file whose name holds "drop" makes the server close the connection in
// the middle of the transfer (see the script).
class FtpTestServer {
public:
    // rootParent: where the temporary root is made (the system's temporary
    // folder when empty).
    explicit FtpTestServer(int slowBytesPerSecond = 4 * 1024 * 1024, const QString& rootParent = QString());
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // Before Start: a folder of the root in which the user may list, read
    // and change folders but neither store nor make anything.
    void AddReadOnlyDir(const QString& name) { FReadOnlyDirs << name; }
    // Before Start: offer and require explicit TLS with this certificate.
    void UseTls(const QString& certFile, const QString& keyFile)
    {
        FTlsCert = certFile;
        FTlsKey = keyFile;
    }

    // A certificate authority of the test's own and a server certificate it
    // signed for subjectAltName (as "IP:127.0.0.1" or "DNS:name"), made with
    // openssl in dir: ca.pem, server.pem, server.key. Empty on success, else
    // what went wrong. Nothing of it is kept beyond the folder.
    static QString MakeCertificates(const QString& dir, const QString& subjectAltName);
    // False, with a reason, when the server did not come up.
    bool Start(QString* error = nullptr);
    void Stop();

    int Port() const { return FPort; }
    QString Root() const { return FRoot->path(); }
    QString UserName() const { return QStringLiteral("vantoli-test"); }
    QString Password() const { return FPassword; }
    // How many sessions logged in so far.
    int LoginCount();

private:
    std::unique_ptr<QTemporaryDir> FRoot;
    QProcess FProcess;
    QByteArray FOutput;
    QStringList FReadOnlyDirs;
    QString FTlsCert, FTlsKey;
    QString FPassword;
    int FSlowRate;
    int FPort = 0;
};
