#include "app/uploaders/ftpuploadthread.h"

#include "app/uploaders/ftpsession.h"
#include "utillib/filepathutils.h"
#include "utillib/globalutils.h"

#include <QDebug>
#include <QFileInfo>
#include <QUrl>

namespace {

// Far more than any server folder holds of one name; only a server that
// reports every name as taken gets here.
constexpr int MaxNameProbes = 10000;

} // namespace

TFtpFileUploader::TFtpUploadThread::TFtpUploadThread(const QStringList& srcFiles, const TFtpFileUploaderConfig& config,
                                                     TSingleFileUploaderCallback singleFileCallback,
                                                     TFileUploaderSummaryCallback summaryCallback,
                                                     TFileUploaderOnErrorCallback errorCallback,
                                                     std::shared_ptr<TFtpUploadState> state)
    : FHost(config.Host()),
      FPort(config.Port()),
      FUserName(config.UserName()),
      FPassword(config.Password()),
      FUploadDir(config.UploadDir()),
      FVisitPath(config.VisitPath()),
      FUseTls(config.UseTls()),
      FTrustedCaFile(config.TrustedCaFile()),
      FSrcFiles(srcFiles),
      FAutoFileName(config.AutoDestFileName()),
      FAutoCreateDir(config.AutoCreateSessionDir()),
      FSingleFileCallback(std::move(singleFileCallback)),
      FSummaryCallback(std::move(summaryCallback)),
      FErrorCallback(std::move(errorCallback)),
      FState(std::move(state))
{
}

TFtpFileUploader::TFtpUploadThread::~TFtpUploadThread()
{
    wait(); // finished comes a moment before the thread has quite ended
}

QString TFtpFileUploader::TFtpUploadThread::NewSessionName()
{
    return TimeStampName(QStringLiteral("F"));
}

QString TFtpFileUploader::TFtpUploadThread::ChooseDestFileName(TFtpSession& ftp, const QString& dir,
                                                               const QString& fileName) const
{
    if (!FAutoFileName)
        return fileName;
    const QString base = FAutoCreateDir ? fileName : NewSessionName() + QLatin1Char('_') + fileName;
    // An empty file of the name counts as free: it is what an interrupted
    // upload leaves behind, so it is overwritten rather than avoided.
    QString name = base;
    for (int n = 0; ftp.FileSize(dir, name) > 0; ++n) {
        if (n == MaxNameProbes)
            throw EFileUploaderException(
                QStringLiteral("Cannot find a free name for \"%1\" in \"%2\"").arg(base, dir));
        name = TFilePathUtil::AddSuffixToFileMainName(base, QLatin1Char('_') + QString::number(n));
    }
    return name;
}

void TFtpFileUploader::TFtpUploadThread::run()
{
    FSuccessCount = 0;
    std::optional<EFileUploaderException> callError; // what ended the whole call
    try {
        TFtpSession ftp(FHost, FPort, FUserName, FPassword, &FState->Detached);
        if (FUseTls)
            ftp.RequireTls(FTrustedCaFile);
        ftp.ChangeDir(FUploadDir);
        const QString sessionName = NewSessionName();
        FCallVisitPath = FVisitPath;
        QString dir = FUploadDir;
        if (FAutoCreateDir) {
            ftp.MakeDir(FUploadDir, sessionName);
            // The session folder is entered from where it was made: UploadDir
            // and the session name as one path from the login folder (or the
            // root), which holds for relative and absolute upload folders.
            dir = TFtpSession::JoinPath(FUploadDir, sessionName);
            ftp.ChangeDir(dir);
            FCallVisitPath = TUrlUtil::IncludeTrailingPathDelimiter(
                TUrlUtil::IncludeTrailingPathDelimiter(FCallVisitPath) + sessionName);
        }
        for (FI = 0; FI < FSrcFiles.size() && !Stopping(); ++FI) {
            const QString& srcFile = FSrcFiles.at(FI);
            FDestFileName = ChooseDestFileName(ftp, dir, QFileInfo(srcFile).fileName());
            try {
                ftp.Store(srcFile, dir, FDestFileName);
                ++FSuccessCount;
                FContinueNext = true;
                NotifyFileDone();
            } catch (const EFileUploaderException& e) {
                FErrorObj = e;
                FContinueNext = true;
                NotifyFileFailed();
            }
            if (!FContinueNext)
                break;
        }
        ftp.Disconnect();
    } catch (const EFileUploaderException& e) {
        callError = e;
    } catch (const std::exception& e) {
        // Nothing may leave a thread's run: it would end the program.
        callError = EFileUploaderException(QString::fromUtf8(e.what()));
    }
    if (callError)
        FErrorObj = std::move(callError);
    else
        FErrorObj.reset();
    if (FErrorObj && !FErrorCallback && !FState->Detached)
        qWarning().noquote() << "FTP upload failed:" << FErrorObj->Message();
    NotifyEnd(FErrorObj.has_value());
}

void TFtpFileUploader::TFtpUploadThread::RunOnOwnerThread(const std::function<void()>& call)
{
    if (FState->Detached)
        return;
    // This object lives on the owner's thread; a blocking queued call runs
    // there while we wait. Only the owner's thread sets Detached, so the check
    // inside is exact: a call that waited while the uploader was deleted is
    // dropped, not run on a caller that has gone.
    QMetaObject::invokeMethod(
        this,
        [this, &call] {
            if (FState->Detached)
                return;
            try {
                call();
            } catch (const std::exception& e) {
                // An exception cannot cross the event loop: stop the upload.
                qWarning().noquote() << "FTP upload callback failed, upload stopped:" << e.what();
                FContinueNext = false;
                FState->Terminated = true;
            } catch (...) {
                qWarning().noquote() << "FTP upload callback failed, upload stopped";
                FContinueNext = false;
                FState->Terminated = true;
            }
        },
        Qt::BlockingQueuedConnection);
}

QString TFtpFileUploader::TFtpUploadThread::VisitUrl() const
{
    // The name as one path segment of an address: "#", "?", "%" and spaces
    // in a file name would otherwise end or change the address.
    return FCallVisitPath + QString::fromLatin1(QUrl::toPercentEncoding(FDestFileName));
}

void TFtpFileUploader::TFtpUploadThread::NotifyFileDone()
{
    if (FSingleFileCallback)
        RunOnOwnerThread([this] {
            FSingleFileCallback(true, FSrcFiles.at(FI), VisitUrl(), nullptr, FContinueNext);
        });
}

void TFtpFileUploader::TFtpUploadThread::NotifyFileFailed()
{
    if (FSingleFileCallback)
        RunOnOwnerThread([this] {
            FSingleFileCallback(false, FSrcFiles.at(FI), VisitUrl(), &*FErrorObj, FContinueNext);
        });
}

void TFtpFileUploader::TFtpUploadThread::NotifyEnd(bool failed)
{
    // Summary and error go in one call onto the owner's thread: a caller that
    // stops waiting at the summary and frees the uploader at once must still
    // hear why the upload failed.
    const bool error = failed && FErrorCallback;
    if (!FSummaryCallback && !error)
        return;
    RunOnOwnerThread([this, error] {
        if (FSummaryCallback)
            FSummaryCallback(static_cast<int>(FSrcFiles.size()), FSuccessCount);
        if (error)
            FErrorCallback(*FErrorObj);
    });
}
