#pragma once

#include "app/uploaders/fileuploaders.h"

#include <memory>
#include <vector>

// Settings of the "FTP" uploader. Stored files name the class
// "TFtpFileUploader.TFtpFileUploaderConfig": it belongs to TFtpFileUploader.
class TFtpFileUploaderConfig : public TFileUploaderConfig {
    Q_OBJECT
    Q_CLASSINFO("ClassName", "TFtpFileUploader.TFtpFileUploaderConfig")
    Q_PROPERTY(QString Host READ Host WRITE SetHost)
    Q_PROPERTY(int Port READ Port WRITE SetPort)
    Q_PROPERTY(QString UserName READ UserName WRITE SetUserName)
    Q_PROPERTY(QString Password READ Password WRITE SetPassword)
    Q_PROPERTY(QString UploadDir READ UploadDir WRITE SetUploadDir)
    Q_PROPERTY(QString VisitPath READ VisitPath WRITE SetVisitPath)
    Q_PROPERTY(bool AutoDestFileName READ AutoDestFileName WRITE SetAutoDestFileName)
    Q_PROPERTY(bool AutoCreateSessionDir READ AutoCreateSessionDir WRITE SetAutoCreateSessionDir)
    // Declared last: files written before it existed load unchanged (off),
    // and the properties before it keep their places in stored files.
    Q_PROPERTY(bool UseTls READ UseTls WRITE SetUseTls)
public:
    Q_INVOKABLE explicit TFtpFileUploaderConfig(QObject* parent = nullptr) : TFileUploaderConfig(parent) {}
    void SetDefaultValues() override;

    QString Host() const { return FHost; }
    void SetHost(const QString& v) { FHost = v; }
    int Port() const { return FPort; }
    void SetPort(int v) { FPort = v; }
    QString UserName() const { return FUserName; }
    void SetUserName(const QString& v) { FUserName = v; }
    QString Password() const { return FPassword; }
    void SetPassword(const QString& v) { FPassword = v; }
    QString UploadDir() const { return FUploadDir; }
    void SetUploadDir(const QString& v) { FUploadDir = v; }
    QString VisitPath() const { return FVisitPath; }
    void SetVisitPath(const QString& v) { FVisitPath = v; }
    bool AutoDestFileName() const { return FAutoDestFileName; }
    void SetAutoDestFileName(bool v) { FAutoDestFileName = v; }
    bool AutoCreateSessionDir() const { return FAutoCreateSessionDir; }
    void SetAutoCreateSessionDir(bool v) { FAutoCreateSessionDir = v; }
    // Explicit TLS (AUTH TLS) for the login and every transfer, with the
    // server's certificate and name checked; never a fall-back to clear text.
    bool UseTls() const { return FUseTls; }
    void SetUseTls(bool v) { FUseTls = v; }
    // The certificate file the server's certificate is checked against
    // instead of the system's store. Not published, so never stored nor
    // shown: only a test that made a certificate authority of its own sets it.
    QString TrustedCaFile() const { return FTrustedCaFile; }
    void SetTrustedCaFile(const QString& v) { FTrustedCaFile = v; }

private:
    QString FHost;
    int FPort = 0;
    QString FUserName, FPassword, FUploadDir, FVisitPath;
    bool FAutoDestFileName = false;
    bool FAutoCreateSessionDir = false;
    bool FUseTls = false;
    QString FTrustedCaFile;
};

// Uploads files to an FTP server whose upload folder is published on the web;
// reports VisitPath + the name on the server (URL-encoded) for each file. The transfer runs
// on a worker thread; callbacks come back on the uploader's thread.
class TFtpFileUploader : public TFileUploader {
    Q_OBJECT
public:
    using TFtpFileUploaderConfig = ::TFtpFileUploaderConfig;

    TFtpFileUploader();
    ~TFtpFileUploader() override;

    static TFileUploaderConfigClass GetConfigClass() { return &TFtpFileUploaderConfig::staticMetaObject; }
    TFtpFileUploaderConfig* FtpConfig() const { return static_cast<TFtpFileUploaderConfig*>(Config()); }
    void SetFtpConfig(TFtpFileUploaderConfig* value) { AssignConfig(value); }

    void Upload(const QStringList& files, TSingleFileUploaderCallback singleFileCallback,
                TFileUploaderSummaryCallback summaryCallback,
                TFileUploaderOnErrorCallback errorCallback) override;
    void Abort() override;
    // True while a transfer thread of this uploader runs.
    bool IsUploading() const;

private:
    class TFtpUploadThread;  // the worker of one Upload call
    struct TFtpUploadState;  // what the uploader and that worker share

    // The thread has ended: forget its state.
    void UploadThreadTerminated(const std::shared_ptr<TFtpUploadState>& state);

    // What this uploader shares with each transfer thread still running
    // (latest last). The threads free themselves; deleting the uploader only
    // tells them to stop and to call nothing back, so it never waits for a
    // thread that may itself be waiting for this thread.
    std::vector<std::shared_ptr<TFtpUploadState>> FUploadThreads;
};
