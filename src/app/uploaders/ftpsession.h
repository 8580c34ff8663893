#pragma once

#include <QString>
#include <atomic>
#include <memory>

// One FTP session on libcurl: a single easy handle, so the control
// connection, the login and the current folder are kept from one operation to
// the next (libcurl reconnects by itself when the server dropped the
// connection). Transfers are binary and passive. Folders are server paths as
// the user typed them: relative ones are resolved from the login folder,
// absolute ones (leading "/") from the server's root; every operation names
// the folder it works in, so no operation depends on where the previous one
// left the session.
//
// Every failure raises EFileUploaderException whose message names the step
// and carries libcurl's own text. Not thread-safe: one session, one thread.
class TFtpSession {
public:
    // cancel, when given, stops a running operation as soon as it turns true
    // (the operation then fails); it must outlive the session.
    TFtpSession(const QString& host, int port, const QString& userName, const QString& password,
                const std::atomic<bool>* cancel = nullptr);
    // Before the first operation: explicit TLS (AUTH TLS) on the control and
    // the data connections, required; the certificate and the host name are
    // checked against the system's store, or against caFile when given. A
    // server without TLS or with a certificate that fails is an error, and
    // nothing (no user name, no password) is sent in clear text.
    void RequireTls(const QString& caFile = {});
    ~TFtpSession(); // sends QUIT when connected
    TFtpSession(const TFtpSession&) = delete;
    TFtpSession& operator=(const TFtpSession&) = delete;

    // Connects and logs in when not connected, then changes into dir (the
    // login folder when dir is empty).
    void ChangeDir(const QString& dir);
    // Makes the folder name inside dir.
    void MakeDir(const QString& dir, const QString& name);
    // The size of dir/name on the server; -1 when there is no such file.
    qint64 FileSize(const QString& dir, const QString& name);
    // Stores the local file as dir/name, replacing a file of that name.
    void Store(const QString& localFile, const QString& dir, const QString& name);
    // Ends the session politely (QUIT); the next operation connects again.
    void Disconnect();

    // dir + "/" + name, without doubling a "/" and without making a relative
    // path absolute when dir is empty.
    static QString JoinPath(const QString& dir, const QString& name);

private:
    struct TCurl;
    std::unique_ptr<TCurl> FCurl;
};
