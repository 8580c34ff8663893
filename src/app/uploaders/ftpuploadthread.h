#pragma once

#include "app/uploaders/ftpfileuploader.h"

#include <QThread>
#include <atomic>
#include <functional>
#include <optional>

class TFtpSession;

// What an uploader and its transfer thread share. The thread keeps it alive
// by itself, so the uploader may be deleted at any time.
struct TFtpFileUploader::TFtpUploadState {
    std::atomic<bool> Terminated{false}; // Abort: stop before the next file
    std::atomic<bool> Detached{false};   // the uploader is gone: call nothing back, stop at once
};

// The worker of one Upload call. It frees itself when it has ended (on the
// thread that started it). Every callback runs on that thread while the
// worker waits for it.
class TFtpFileUploader::TFtpUploadThread : public QThread {
public:
    TFtpUploadThread(const QStringList& srcFiles, const TFtpFileUploaderConfig& config,
                     TSingleFileUploaderCallback singleFileCallback, TFileUploaderSummaryCallback summaryCallback,
                     TFileUploaderOnErrorCallback errorCallback, std::shared_ptr<TFtpUploadState> state);
    ~TFtpUploadThread() override;

protected:
    void run() override;

private:
    static QString NewSessionName();
    bool Stopping() const { return FState->Terminated || FState->Detached; }
    QString ChooseDestFileName(TFtpSession& ftp, const QString& dir, const QString& fileName) const;

    // Runs call on the owner's thread and waits for it; does nothing once the
    // uploader is gone.
    void RunOnOwnerThread(const std::function<void()>& call);
    void NotifyFileDone();
    void NotifyFileFailed();
    // The published address of the current file: the visit path and the
    // name on the server, URL-encoded.
    QString VisitUrl() const;
    // The summary, then the error that ended the call when failed.
    void NotifyEnd(bool failed);

    // Settings of this call, copied so that the preset may change meanwhile.
    QString FHost;
    int FPort = 0;
    QString FUserName, FPassword;
    QString FUploadDir;
    QString FVisitPath;
    bool FUseTls = false;
    QString FTrustedCaFile;
    // The caller's list, copied: the caller may let it go while we work.
    QStringList FSrcFiles;
    bool FAutoFileName = false;
    bool FAutoCreateDir = false;
    TSingleFileUploaderCallback FSingleFileCallback;
    TFileUploaderSummaryCallback FSummaryCallback;
    TFileUploaderOnErrorCallback FErrorCallback;
    std::shared_ptr<TFtpUploadState> FState;

    // Working state, read by the notifications while the worker waits.
    int FSuccessCount = 0;
    std::optional<EFileUploaderException> FErrorObj;
    bool FContinueNext = true;
    QString FDestFileName;
    QString FCallVisitPath; // the address prefix of this call
    qsizetype FI = 0;
};
