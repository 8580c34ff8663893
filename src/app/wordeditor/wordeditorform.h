#pragma once

#include "web/embeddedwb.h"
#include "web/htmldom.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTemporaryDir;
class QToolBar;
class QToolButton;
class TFileUploader;
class TFormPlacement;
class TFormUploadLog;
class TMoodleRepoBrowserSite;
class TMoodleRepoFileUploader;
class TMoodleSysConfig;
class TOfficeClient;
class TOfficeDocumentView;
class TOfficeWordAutomation;
class TOfficeWordDocument;

// How a submission ended: nothing uploaded (or a fatal error), some pictures
// uploaded, every picture uploaded.
enum TOperationResult { orFail, orPartialDone, orAllDone };

// The modal "Word Editor" window: the user writes in a word-processor
// document and submits it to the site editor of a Moodle page. On Done the
// document is exported as HTML, its local pictures are uploaded (through the
// site's repository with the user's session, or through an uploader preset),
// their addresses rewritten, and the HTML replaces the site editor's body.
class TFormWordEditor : public QDialog {
    Q_OBJECT
public:
    enum TEditorState { esEditing, esSubmitting };
    Q_ENUM(TEditorState)
    enum THtmlToWordEditorConvertMethod { cmClipboard, cmFullConversion };
    Q_ENUM(THtmlToWordEditorConvertMethod)

    // The client of the word-processor helper; it is started here when it is
    // not yet, and the first document is made as soon as it answers.
    explicit TFormWordEditor(TOfficeClient& client, QWidget* parent = nullptr);
    ~TFormWordEditor() override;

    // Brings the site editor's content into the document, shows the window
    // modally and answers true when it was closed by a Done that uploaded
    // every picture.
    bool Execute(TEmbeddedWB* editorBrowser, const THtmlElement& editorIFrame, TMoodleSysConfig* site);

    // The two directions and the upload run (called by Execute and Done;
    // public so that they can be driven without the modal loop).
    void LoadEditorHtmlToWord(const THtmlElement& editorIFrame);
    TOperationResult SubmitToEditor();
    TOperationResult CheckAndUploadHtmlImages(const THtmlDocument& doc, const QString& baseFolder);
    void AbortUploading();
    const QStringList& UploadLogs() const { return FUploadLogs; }

    // The document shown; made on first use when the helper was not ready.
    TOfficeWordDocument* WordDoc();
    TOfficeDocumentView* DocumentView() const { return FView; }
    void CreateWordDocument();
    void ResetWordDocument();
    void ImportWordDocument(const QString& fileName);
    void ExportWordDocument(const QString& fileName, const QString& format);

    TMoodleSysConfig* MoodleSysConfig() const;
    void SetMoodleSysConfig(TMoodleSysConfig* site) { FMoodleSysConfig = site; }
    TEmbeddedWB* EditorBrowser() const { return FEditorBrowser.data(); }
    void SetEditorBrowser(TEmbeddedWB* browser) { FEditorBrowser = browser; }
    THtmlElement EditorElem() const { return FEditorElem; }
    void SetEditorElem(const THtmlElement& elem) { FEditorElem = elem; }
    THtmlToWordEditorConvertMethod HtmlToWordEditorConvertMethod() const { return FConvertMethod; }
    void SetHtmlToWordEditorConvertMethod(THtmlToWordEditorConvertMethod m) { FConvertMethod = m; }
    TEditorState CurrState() const { return FCurrState; }
    void SetCurrState(TEditorState state);

    // The upload log window (made on first use).
    TFormUploadLog* UploadLogForm();
    // Called with every uploader a run creates or configures, before Upload
    // (nullptr-safe hook for observers such as tests).
    std::function<void(TFileUploader*)> OnUploaderReady;

    // Controls.
    TEmbeddedWB* BrowserDoc = nullptr;
    TEmbeddedWB* BrowserUpload = nullptr;
    QFrame* PanelBottom = nullptr;
    QFrame* PanelSubmitStatus = nullptr;
    QLabel* LabelSubmitStatus = nullptr;
    // How many pictures of the submission have no alternative text (hidden when none).
    QLabel* LabelSubmitNote = nullptr;
    // While editing: what became of the site's content when it was brought in.
    QLabel* LabelEditStatus = nullptr;
    QProgressBar* GaugeSubmitProgress = nullptr;
    QToolButton* BtnAbort = nullptr;
    QToolBar* PanelWordOper = nullptr;
    QPushButton* BtnDone = nullptr;
    QPushButton* BtnCancel = nullptr;
    QAction *ActionCopy = nullptr, *ActionCut = nullptr, *ActionPaste = nullptr, *ActionImport = nullptr,
            *ActionExport = nullptr;

public Q_SLOTS:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TUploadRun;

    void BtnDoneClick();
    void BtnAbortClick() { AbortUploading(); }
    void ActionImportExecute();
    void ActionExportExecute();
    void ShowUploadLog();
    void AttachDocument(int docId);
    void SetSubmitProgress(const QString& text, int value, int maxValue);
    void LoadByClipboard(const THtmlElement& editorIFrame);
    void LoadByFullConversion(const THtmlElement& editorIFrame);
    QString SiteContentForWord(const THtmlElement& editor, bool wholeDocument);
    QVariantMap FetchSitePictures(const THtmlElement& editor, const THtmlElement& content, const QString& pageUrl);
    void ShowEditStatus(int droppedPictures);
    void LoadHtmlFile(const QString& fileName);
    TFileUploader* SetupMoodleRepoUploader();

    TOfficeClient& FClient;
    std::unique_ptr<TOfficeWordAutomation> FAutomation;
    std::unique_ptr<TOfficeWordDocument> FWordDoc;
    TOfficeDocumentView* FView = nullptr;
    QFrame* FDocHost = nullptr;
    QPointer<TEmbeddedWB> FEditorBrowser;
    THtmlElement FEditorElem;
    TMoodleSysConfig* FMoodleSysConfig = nullptr;
    THtmlToWordEditorConvertMethod FConvertMethod = cmClipboard;
    TEditorState FCurrState = esEditing;
    bool FExecuteReturn = false;

    std::unique_ptr<TMoodleRepoBrowserSite> FRepoSite;
    std::unique_ptr<TMoodleRepoFileUploader> FRepoUploader;
    TFileUploader* FFileUploader = nullptr;
    bool FAbortUploading = false;
    QStringList FUploadLogs;
    std::shared_ptr<TUploadRun> FCurrRun;
    std::function<void()> FWakeWait;
    // The site pictures fetched for the document now shown, in a private
    // folder of their own; replaced by each opening.
    std::unique_ptr<QTemporaryDir> FSitePictures;
    int FFetchSerial = 0;
    int FDroppedPictures = 0;
    TFormUploadLog* FUploadLogForm = nullptr;
    TFormPlacement* FPlacement = nullptr;
};
