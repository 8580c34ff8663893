#pragma once

#include "utillib/configutils.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

// Every error that an uploader or the uploader registry raises itself.
class EFileUploaderException : public Exception { using Exception::Exception; };

// The base of every uploader's settings.
class TFileUploaderConfig : public TConfig {
    Q_OBJECT
    Q_PROPERTY(QString UploaderName READ UploaderName WRITE SetUploaderName)
public:
    Q_INVOKABLE explicit TFileUploaderConfig(QObject* parent = nullptr) : TConfig(parent) {}
    QString UploaderName() const { return FUploaderName; }
    void SetUploaderName(const QString& v) { FUploaderName = v; }

private:
    QString FUploaderName;
};
using TFileUploaderConfigClass = const QMetaObject*;

// The upload contract's callbacks. They run on the thread that owns the
// uploader (the main thread), whatever thread does the transfer.
//  - single file: success, the local path as given, the published address
//    (empty when unknown), the error of a failed file (else nullptr), and
//    continueNext (true on entry; set false to stop after this file);
//  - summary: number of files in the list, number uploaded;
//  - error: an error that ended the whole upload.
using TSingleFileUploaderCallback =
    std::function<void(bool success, const QString& srcFile, const QString& destUrl, const Exception* e, bool& continueNext)>;
using TFileUploaderSummaryCallback = std::function<void(int totalCount, int successCount)>;
using TFileUploaderOnErrorCallback = std::function<void(const Exception& e)>;

// The base of every uploader. It owns one settings object of the class its
// type names (see TFileUploaderClass).
class TFileUploader : public QObject {
    Q_OBJECT
public:
    explicit TFileUploader(TFileUploaderConfigClass configClass, QObject* parent = nullptr);
    ~TFileUploader() override;
    Q_DISABLE_COPY_MOVE(TFileUploader)

    // Uploads files in list order. May return before the work is done; callers
    // wait, pumping the event loop, until the summary or the error callback ran.
    // An error that ends the whole upload goes to errorCallback, or is raised
    // when there is none.
    virtual void Upload(const QStringList& files, TSingleFileUploaderCallback singleFileCallback,
                        TFileUploaderSummaryCallback summaryCallback,
                        TFileUploaderOnErrorCallback errorCallback) = 0;
    // Asks a running upload to stop before its next file.
    virtual void Abort() = 0;

    TConfig* Config() const { return FConfig.get(); }
    // Copies the given settings into the owned settings object.
    void AssignConfig(TFileUploaderConfig* config);

private:
    std::unique_ptr<TConfig> FConfig;
};

// A class reference to an uploader type: its settings class and how to make one.
struct TFileUploaderClass {
    TFileUploaderConfigClass (*GetConfigClass)() = nullptr;
    std::unique_ptr<TFileUploader> (*Create)() = nullptr;

    template <class T> static TFileUploaderClass Of()
    {
        return {&T::GetConfigClass, []() -> std::unique_ptr<TFileUploader> { return std::make_unique<T>(); }};
    }
    explicit operator bool() const { return Create != nullptr; }
};

// The uploader registry: type name (exact case) -> uploader class. "FTP" is
// registered when the registry is first used.
class TFileUploaderFactory {
public:
    // Raises EFileUploaderException "File uploader with name "%s" already exists".
    static void RegisterUploader(const QString& name, TFileUploaderClass uploader);
    static void UnregisterUploader(const QString& name);
    static TFileUploaderClass GetUploaderClass(const QString& name);
    static QStringList UploaderNames(); // FillUploaderNames
    // The caller owns the result. An unknown name raises EFileUploaderException.
    static std::unique_ptr<TFileUploader> CreateUploader(const QString& name, TFileUploaderConfig* config);

private:
    static std::map<QString, TFileUploaderClass>& Registry();
};
