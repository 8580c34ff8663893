#include "app/uploaders/ftpfileuploader.h"

// Placeholder until the transfer is built: reports every upload as failed.
struct TFtpFileUploader::TFtpUploadState {};

TFtpFileUploader::TFtpFileUploader() : TFileUploader(GetConfigClass()) {}
TFtpFileUploader::~TFtpFileUploader() = default;

void TFtpFileUploader::Upload(const QStringList&, TSingleFileUploaderCallback, TFileUploaderSummaryCallback,
                              TFileUploaderOnErrorCallback errorCallback)
{
    EFileUploaderException e(QStringLiteral("FTP upload is not available"));
    if (!errorCallback)
        throw e;
    errorCallback(e);
}

void TFtpFileUploader::Abort() {}
bool TFtpFileUploader::IsUploading() const { return false; }
