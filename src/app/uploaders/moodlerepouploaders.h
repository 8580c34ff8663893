#pragma once

#include "app/uploaders/fileuploaders.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// What a Moodle page tells about one editor's file picker, as read from the
// page's scripts (numbers or strings, as the page holds them).
struct TMoodleRepoPageValues {
    QVariant SessKey;   // M.cfg.sesskey
    QVariant RepoId;    // the last repository of type "upload", else 3
    QVariant Env;       // picker options: env
    QVariant ClientId;  // client_id
    QVariant ItemId;    // itemid (the user's draft area)
    QVariant MaxBytes;  // maxbytes
    QVariant ContextId; // context.id
};

// The site side of a repository upload: the page with the target editor and
// the browser control that carries the posts. The web layer implements it;
// the uploader needs nothing else of the engine.
class IMoodleRepoUploadSite {
public:
    virtual ~IMoodleRepoUploadSite() = default;
    // Reads the picker values of the editor for the item type from the target
    // page; page script errors are raised as they are.
    virtual TMoodleRepoPageValues ReadUploadPageValues(const QString& editorId, const QString& itemType) = 0;
    // Posts the fields and files ("name=value" lines) as a multipart form and
    // answers the text of the answer page.
    virtual QString PostUpload(const QString& url, const QStringList& params, const QStringList& files) = 0;
    // Ends a post in flight; that post then raises instead of answering.
    virtual void AbortPost() = 0;
};

// The protocol pieces that need no page: parameter lists, editor ids, answers.
class TMoodleRepoUtil {
public:
    // The textarea id of an editor: the frame id without its "_ifr" ending,
    // or the Atto div's id without its "editable" ending; raises
    // EFileUploaderException "Target editor id not found" for anything else.
    static QString ExtractEditorId(const QString& frameId);
    // A page number or a string of digits as a 64-bit integer; raises
    // EConvertError for anything else.
    static qint64 ReadInt64(const QVariant& value);
    // The upload fields in body order: sesskey, repo_id, env, client_id,
    // itemid, maxbytes, ctx_id, savepath, license, accepted_types[] (each only
    // when not empty).
    static QStringList BuildUploadParams(const TMoodleRepoPageValues& values);
    // The picker values from what the page's script answered for a TinyMCE
    // 6/7 or Atto editor (an object: the values by name and "missing", the
    // names of the values the page does not give). editor names the editor
    // in the error raised when something is missing.
    static TMoodleRepoPageValues ReadPickerValues(const QVariantMap& answer, const QString& editor);
    // Name=value lists: an empty value removes the line, an existing name
    // keeps its place.
    static QString ParamValue(const QStringList& list, const QString& name);
    static void SetParamValue(QStringList& list, const QString& name, const QString& value);
    // The uploaded file's address from the site's JSON answer, members read in
    // their written order: the url member answers, the error member raises its
    // text; a "fileexists" answer gives the address the site stored the file
    // under (newfile.url). Anything else raises "Response illegal, something
    // must be wrong"; an empty answer "Response is empty, upload may be failed".
    static QString ReadUploadAnswer(const QString& answer, const QString& urlMember, const QString& errorMember);
};

// Settings of the repository uploader. Only AutoDestFileName (with the
// inherited UploaderName) is stored; the four names always start from their
// defaults.
class TMoodleRepoFileUploaderConfig : public TFileUploaderConfig {
    Q_OBJECT
    Q_CLASSINFO("ClassName", "TMoodleRepoFileUploader.TMoodleRepoFileUploaderConfig")
    Q_PROPERTY(bool AutoDestFileName READ AutoDestFileName WRITE SetAutoDestFileName)
    Q_PROPERTY(QString UploadFileFieldName READ UploadFileFieldName WRITE SetUploadFileFieldName DESIGNABLE false)
    Q_PROPERTY(QString NewFileNameFieldName READ NewFileNameFieldName WRITE SetNewFileNameFieldName DESIGNABLE false)
    Q_PROPERTY(QString ResponseUrlFieldName READ ResponseUrlFieldName WRITE SetResponseUrlFieldName DESIGNABLE false)
    Q_PROPERTY(QString ResponseErrorFieldName READ ResponseErrorFieldName WRITE SetResponseErrorFieldName DESIGNABLE false)
public:
    Q_INVOKABLE explicit TMoodleRepoFileUploaderConfig(QObject* parent = nullptr) : TFileUploaderConfig(parent) {}
    void SetDefaultValues() override;

    bool AutoDestFileName() const { return FAutoDestFileName; }
    void SetAutoDestFileName(bool v) { FAutoDestFileName = v; }
    QString UploadFileFieldName() const { return FUploadFileFieldName; }
    void SetUploadFileFieldName(const QString& v) { FUploadFileFieldName = v; }
    QString NewFileNameFieldName() const { return FNewFileNameFieldName; }
    void SetNewFileNameFieldName(const QString& v) { FNewFileNameFieldName = v; }
    QString ResponseUrlFieldName() const { return FResponseUrlFieldName; }
    void SetResponseUrlFieldName(const QString& v) { FResponseUrlFieldName = v; }
    QString ResponseErrorFieldName() const { return FResponseErrorFieldName; }
    void SetResponseErrorFieldName(const QString& v) { FResponseErrorFieldName = v; }

private:
    bool FAutoDestFileName = true;
    QString FUploadFileFieldName = QStringLiteral("repo_upload_file");
    QString FNewFileNameFieldName = QStringLiteral("title");
    QString FResponseUrlFieldName = QStringLiteral("url");
    QString FResponseErrorFieldName = QStringLiteral("error");
};

// Uploads files into the Moodle site's own file repository, the way the
// site's file picker does, under the user's login: the upload parameters come
// from the page of the target editor, the posts go through the site's
// browser session. It works on the calling thread and returns after every
// callback ran. Not in the uploader registry.
class TMoodleRepoFileUploader : public TFileUploader {
    Q_OBJECT
public:
    using TMoodleRepoFileUploaderConfig = ::TMoodleRepoFileUploaderConfig;

    TMoodleRepoFileUploader();
    ~TMoodleRepoFileUploader() override;

    static TFileUploaderConfigClass GetConfigClass() { return &TMoodleRepoFileUploaderConfig::staticMetaObject; }
    TMoodleRepoFileUploaderConfig* MoodleRepoConfig() const { return static_cast<TMoodleRepoFileUploaderConfig*>(Config()); }
    void SetMoodleRepoConfig(TMoodleRepoFileUploaderConfig* value) { AssignConfig(value); }

    // The target page and the posting browser; not owned, set before Upload.
    IMoodleRepoUploadSite* UploadSite() const { return FUploadSite; }
    void SetUploadSite(IMoodleRepoUploadSite* site) { FUploadSite = site; }
    // The id of the target editor's focus element (a frame id ending with
    // "_ifr", or an Atto div id ending with "editable").
    QString TargetEditorId() const { return FTargetEditorId; }
    void SetTargetEditorId(const QString& v) { FTargetEditorId = v; }
    // The item type of the picker options ("image").
    QString RepoItem() const { return FRepoItem; }
    void SetRepoItem(const QString& v) { FRepoItem = v; }
    // The site's repository upload address.
    QString MoodleRepoPostUrl() const { return FMoodleRepoPostUrl; }
    void SetMoodleRepoPostUrl(const QString& v) { FMoodleRepoPostUrl = v; }

    void Upload(const QStringList& files, TSingleFileUploaderCallback singleFileCallback,
                TFileUploaderSummaryCallback summaryCallback, TFileUploaderOnErrorCallback errorCallback) override;
    // Stops before the next file; a post in flight is ended and fails.
    void Abort() override;

    // "F" and the 17-digit time stamp, shared by the files of one call.
    static QString NewFilePrefix();
    QString MakeDestFileName(const QString& prefix, const QString& srcFile) const;

private:
    void FillUploadParamValues(QStringList& params);
    QString UploadFile(QStringList& params, const QString& srcFile, const QString& destFileName);

    IMoodleRepoUploadSite* FUploadSite = nullptr;
    QString FTargetEditorId;
    QString FRepoItem = QStringLiteral("image");
    QString FMoodleRepoPostUrl;
    bool FAborted = false;
    bool FPosting = false;
};
