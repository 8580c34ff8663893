#include "app/uploaders/ftpfileuploader.h"

#include "app/uploaders/ftpuploadthread.h"

#include <algorithm>

TFtpFileUploader::TFtpFileUploader() : TFileUploader(GetConfigClass()) {}

TFtpFileUploader::~TFtpFileUploader()
{
    // Never wait here: a worker may be blocked in a call onto this very
    // thread. The threads hold their own state and free themselves; they
    // stop as soon as they see they are alone.
    for (const auto& state : FUploadThreads) {
        state->Detached = true;
        state->Terminated = true;
    }
}

void TFtpFileUploader::Upload(const QStringList& files, TSingleFileUploaderCallback singleFileCallback,
                              TFileUploaderSummaryCallback summaryCallback, TFileUploaderOnErrorCallback errorCallback)
{
    auto state = std::make_shared<TFtpUploadState>();
    auto* thread = new TFtpUploadThread(files, *FtpConfig(), std::move(singleFileCallback), std::move(summaryCallback),
                                        std::move(errorCallback), state);
    // The callbacks run on the uploader's thread: the thread object lives there.
    thread->moveToThread(this->thread());
    FUploadThreads.push_back(state);
    connect(thread, &QThread::finished, this, [this, state] { UploadThreadTerminated(state); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void TFtpFileUploader::Abort()
{
    for (const auto& state : FUploadThreads)
        state->Terminated = true;
}

bool TFtpFileUploader::IsUploading() const
{
    return !FUploadThreads.empty();
}

void TFtpFileUploader::UploadThreadTerminated(const std::shared_ptr<TFtpUploadState>& state)
{
    FUploadThreads.erase(std::remove(FUploadThreads.begin(), FUploadThreads.end(), state), FUploadThreads.end());
}
