#include "app/wordeditor/wordeditorform.h"

#include "app/config/appconfigs.h"
#include "app/shell/formplacement.h"
#include "app/shell/globaldm.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/fileuploaders.h"
#include "app/uploaders/moodlerepouploaders.h"
#include "app/wordeditor/sitecontent.h"
#include "app/wordeditor/uploadlogform.h"
#include "office/mswordutil.h"
#include "office/officeclient.h"
#include "office/officedocumentview.h"
#include "office/officefileformats.h"
#include "office/officewordautomation.h"
#include "utillib/filepathutils.h"
#include "utillib/globalutils.h"
#include "utillib/officehtmlutils.h"
#include "web/embeddedwb.h"
#include "web/moodleeditors.h"
#include "web/moodlereposite.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QSet>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace {

// Runs a function when the scope is left, also by an exception.
template <class F> class TScopeExit {
public:
    explicit TScopeExit(F f) : FFunc(std::move(f)) {}
    ~TScopeExit() { FFunc(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FFunc;
};

QIcon ActionIcon(int index)
{
    return DmGlobal() ? DmGlobal()->ImageListActions16(index) : QIcon();
}

// The img elements' src attributes of a document, in document order (a
// missing attribute reads as an empty text). Read in our isolated world: the
// exported page runs no script of its own.
QStringList ReadImageSources(const THtmlDocument& doc)
{
    const QVariant value = doc.Evaluate(QStringLiteral(
        "return Array.prototype.map.call(n.getElementsByTagName('img'),"
        " function (e) { var s = e.getAttribute('src'); return s === null ? '' : s; });"));
    QStringList sources;
    for (const QVariant& v : value.toList())
        sources << v.toString();
    return sources;
}

// A private folder of its own under the program's temporary folder.
std::unique_ptr<QTemporaryDir> PrivateFolder(const QString& prefix)
{
    auto dir = std::make_unique<QTemporaryDir>(AppTempPath(true) + QLatin1Char('/') + prefix + QStringLiteral("-XXXXXX"));
    if (!dir->isValid())
        throw EInOutError(QStringLiteral("Cannot create a folder in %1: %2").arg(AppTempPath(true), dir->errorString()));
    return dir;
}

// Runs an event handler of the window. An error it raises is shown in the
// program's error box once the handler has returned, the way an unhandled
// error reaches the application's handler; it must not unwind through Qt's
// event delivery.
template <class F> void Guarded(QWidget* window, F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        QPointer<QWidget> owner(window);
        QTimer::singleShot(0, window, [owner, message] {
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Vantoli"), message, QMessageBox::Ok, owner.data());
            box.setObjectName(QStringLiteral("AppErrorMessage"));
            box.exec();
        });
    }
}

} // namespace

// What one upload run shares with the uploader's callbacks. The callbacks own
// it with the run, so an uploader that calls back after the run stopped
// waiting (a worker thread that finishes late) finds it still there; it then
// changes nothing, because Stopped is set.
struct TFormWordEditor::TUploadRun {
    QPointer<TFormWordEditor> Window;
    QPointer<TEmbeddedWB> DocBrowser;  // the page whose img elements are rewritten
    THtmlDocument Doc;                 // its document
    QStringList ImageSrcs;             // the src of each img element, in document order
    QSet<QString> RefusedSrcs;         // src texts that name no picture of the document's own
    QStringList Files;                 // the upload list, one local file each
    QHash<QString, QStringList> SrcsOfFile; // upload-list entry -> every src text naming it
    QHash<QString, QString> HandledSrcs;    // src text -> its final text
    TOperationResult UploadResult = orFail;
    bool AllDone = false;
    bool SummaryDone = false;
    bool Fatal = false;
    bool Stopped = false;
    int TotalUploadCount = 0;
    int CurrUploadIndex = 0;
};

TFormWordEditor::TFormWordEditor(TOfficeClient& client, QWidget* parent)
    : QDialog(parent), FClient(client), FAutomation(std::make_unique<TOfficeWordAutomation>(client))
{
    setObjectName(QStringLiteral("FormWordEditor"));
    setWindowTitle(tr("Word Editor"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    resize(647, 466);

    FDocHost = new QFrame(this);
    auto* hostLayout = new QVBoxLayout(FDocHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);

    // The bottom panel: submission status on the left (while submitting) or
    // the import/export toolbar (while editing), Done and Discard on the right.
    PanelBottom = new QFrame(this);
    PanelBottom->setFixedHeight(37);
    PanelBottom->installEventFilter(this);
    auto* bottom = new QHBoxLayout(PanelBottom);
    bottom->setContentsMargins(4, 2, 4, 2);

    PanelSubmitStatus = new QFrame(PanelBottom);
    PanelSubmitStatus->setFixedWidth(440);
    auto* status = new QHBoxLayout(PanelSubmitStatus);
    status->setContentsMargins(0, 0, 0, 0);
    LabelSubmitStatus = new QLabel(PanelSubmitStatus);
    LabelSubmitStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    GaugeSubmitProgress = new QProgressBar(PanelSubmitStatus);
    GaugeSubmitProgress->setRange(0, 100);
    GaugeSubmitProgress->setValue(0);
    GaugeSubmitProgress->setTextVisible(false);
    BtnAbort = new QToolButton(PanelSubmitStatus);
    BtnAbort->setText(tr("Abort"));
    BtnAbort->setIcon(ActionIcon(TDmGlobal::iaStop));
    BtnAbort->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(BtnAbort, &QToolButton::clicked, this, [this] { Guarded(this, [this] { BtnAbortClick(); }); });
    LabelSubmitNote = new QLabel(PanelSubmitStatus);
    LabelSubmitNote->setObjectName(QStringLiteral("LabelSubmitNote"));
    LabelSubmitNote->hide();
    status->addWidget(LabelSubmitNote);
    status->addWidget(LabelSubmitStatus, 1);
    status->addWidget(GaugeSubmitProgress, 1);
    status->addWidget(BtnAbort);
    PanelSubmitStatus->hide();

    ActionCopy = new QAction(ActionIcon(TDmGlobal::iaCopy), tr("&Copy"), this);
    ActionCopy->setStatusTip(tr("Copies the selection and puts it on the Clipboard"));
    ActionCut = new QAction(ActionIcon(TDmGlobal::iaCut), tr("Cu&t"), this);
    ActionCut->setStatusTip(tr("Cuts the selection and puts it on the Clipboard"));
    ActionPaste = new QAction(ActionIcon(TDmGlobal::iaPaste), tr("&Paste"), this);
    ActionPaste->setStatusTip(tr("Inserts Clipboard contents"));
    // The document view takes Ctrl+C/X/V itself; the actions work on the
    // document's selection and carry no window shortcut that would steal them.
    connect(ActionCopy, &QAction::triggered, this, [this] { Guarded(this, [this] { WordDoc()->Copy(); }); });
    connect(ActionCut, &QAction::triggered, this, [this] { Guarded(this, [this] { WordDoc()->Cut(); }); });
    connect(ActionPaste, &QAction::triggered, this, [this] { Guarded(this, [this] { WordDoc()->Paste(); }); });
    ActionImport = new QAction(ActionIcon(TDmGlobal::iaImport), tr("Import..."), this);
    ActionImport->setToolTip(tr("Import Word Document"));
    ActionImport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(ActionImport, &QAction::triggered, this, [this] { Guarded(this, [this] { ActionImportExecute(); }); });
    ActionExport = new QAction(ActionIcon(TDmGlobal::iaExport), tr("Export..."), this);
    ActionExport->setToolTip(tr("Save Word Document As"));
    ActionExport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(ActionExport, &QAction::triggered, this, [this] { Guarded(this, [this] { ActionExportExecute(); }); });
    addAction(ActionImport);
    addAction(ActionExport);

    PanelWordOper = new QToolBar(PanelBottom);
    PanelWordOper->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    PanelWordOper->addAction(ActionImport);
    PanelWordOper->addAction(ActionExport);

    BtnDone = new QPushButton(tr("&Done"), PanelBottom);
    BtnCancel = new QPushButton(tr("Dis&card"), PanelBottom);
    connect(BtnDone, &QPushButton::clicked, this, [this] { Guarded(this, [this] { BtnDoneClick(); }); });
    connect(BtnCancel, &QPushButton::clicked, this, &TFormWordEditor::reject);
    BtnDone->setAutoDefault(false);
    BtnCancel->setAutoDefault(false);

    LabelEditStatus = new QLabel(PanelBottom);
    LabelEditStatus->setObjectName(QStringLiteral("LabelEditStatus"));
    LabelEditStatus->hide();

    bottom->addWidget(PanelSubmitStatus);
    bottom->addWidget(PanelWordOper);
    bottom->addWidget(LabelEditStatus, 1);
    bottom->addStretch();
    bottom->addWidget(BtnDone);
    bottom->addWidget(BtnCancel);

    // Hidden one-pixel browsers: the exported page is loaded in BrowserDoc,
    // the repository posts go through BrowserUpload.
    BrowserDoc = new TEmbeddedWB(this);
    BrowserDoc->setFixedSize(1, 1);
    BrowserDoc->hide();
    // The exported page holds what the site gave (through the document): it
    // runs nothing and reaches no other file. Our own reads and edits go
    // through the isolated world, which these settings leave working.
    QWebEngineSettings* docSettings = BrowserDoc->page()->settings();
    docSettings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    docSettings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    docSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    docSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    docSettings->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    docSettings->setAttribute(QWebEngineSettings::PluginsEnabled, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FDocHost, 1);
    layout->addWidget(PanelBottom);

    if (DmGlobal())
        FPlacement = new TFormPlacement(this, DmGlobal()->AppXMLFileStorage(), QStringLiteral("FormWordEditor"));

    // The helper starts in the background; the first document is made as
    // soon as it answers, so the program's start does not wait for it.
    FClient.Start();
    if (FClient.IsReady()) {
        CreateWordDocument();
    } else {
        connect(&FClient, &TOfficeClient::Ready, this, [this] {
            if (FWordDoc)
                return;
            try {
                CreateWordDocument();
            } catch (const std::exception& e) {
                qWarning("Word editor: no document: %s", e.what());
            }
        });
    }
}

TFormWordEditor::~TFormWordEditor()
{
    // A run still waiting (the window destroyed from inside its wait) must
    // not be woken into a destroyed window.
    FWakeWait = nullptr;
    if (FCurrRun)
        FCurrRun->Stopped = true;
    delete FView;
    FView = nullptr;
}

// --- document -------------------------------------------------------------

void TFormWordEditor::AttachDocument(int docId)
{
    auto doc = std::make_unique<TOfficeWordDocument>(FClient, docId);
    auto* view = new TOfficeDocumentView(FClient, docId, FDocHost);
    FDocHost->layout()->addWidget(view);
    delete FView;
    FView = view;
    FWordDoc = std::move(doc); // the previous document closes here
    if (isVisible())
        FView->setFocus();
}

void TFormWordEditor::CreateWordDocument()
{
    AttachDocument(FClient.NewDocument());
    FConvertMethod = cmClipboard;
}

TOfficeWordDocument* TFormWordEditor::WordDoc()
{
    if (!FWordDoc)
        CreateWordDocument();
    return FWordDoc.get();
}

void TFormWordEditor::ResetWordDocument()
{
    CreateWordDocument();
    IWordDocument* doc = WordDoc();
    doc->InsertAfter(QStringLiteral(" "));
    for (int n = doc->ParagraphCount(); n >= 1; --n)
        doc->DeleteParagraph(n);
}

void TFormWordEditor::ImportWordDocument(const QString& fileName)
{
    AttachDocument(FClient.OpenDocument(fileName));
}

void TFormWordEditor::ExportWordDocument(const QString& fileName, const QString& format)
{
    WordDoc()->SaveAs(fileName, format);
}

void TFormWordEditor::ActionImportExecute()
{
    const QString file = QFileDialog::getOpenFileName(this, tr("Import Word Document"), QString(),
                                                      TOfficeFileFormats::ImportNameFilter());
    if (!file.isEmpty())
        ImportWordDocument(file);
}

void TFormWordEditor::ActionExportExecute()
{
    QString filter;
    const QString file = QFileDialog::getSaveFileName(this, tr("Save Word Document As"), QString(),
                                                      TOfficeFileFormats::ExportNameFilters().join(";;"), &filter);
    if (file.isEmpty())
        return;
    // A typed extension says the format ("lesson.odt" under the .docx
    // filter is an OpenDocument file); without one the filter's is added.
    const TOfficeExportFormat& format = TOfficeFileFormats::ExportFormatFor(filter);
    ExportWordDocument(TOfficeFileFormats::WithSuffix(file, format), TOfficeFileFormats::ExportFormatForFile(file, filter));
}

// --- window ---------------------------------------------------------------

TMoodleSysConfig* TFormWordEditor::MoodleSysConfig() const
{
    if (FMoodleSysConfig)
        return FMoodleSysConfig;
    return AppConfig() ? AppConfig()->CurrMoodleSysConfig() : nullptr;
}

void TFormWordEditor::SetCurrState(TEditorState state)
{
    if (state == FCurrState)
        return;
    FCurrState = state;
    PanelSubmitStatus->setVisible(state == esSubmitting);
    PanelWordOper->setVisible(state == esEditing);
    LabelEditStatus->setVisible(state == esEditing && !LabelEditStatus->text().isEmpty());
    // A second Done while one runs would start a second run over the first;
    // closing the window mid-run would leave the site editor half done.
    BtnDone->setEnabled(state == esEditing);
    BtnCancel->setEnabled(state == esEditing);
    ActionImport->setEnabled(state == esEditing);
    ActionExport->setEnabled(state == esEditing);
}

bool TFormWordEditor::Execute(TEmbeddedWB* editorBrowser, const THtmlElement& editorIFrame, TMoodleSysConfig* site)
{
    FEditorBrowser = editorBrowser;
    FEditorElem = editorIFrame;
    FMoodleSysConfig = site;
    FExecuteReturn = false;
    LoadEditorHtmlToWord(editorIFrame);
    const int result = exec();
    return FExecuteReturn && result != QDialog::Rejected;
}

void TFormWordEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    SetCurrState(esEditing);
    if (FView)
        FView->setFocus();
}

void TFormWordEditor::reject()
{
    if (FCurrState == esSubmitting)
        return;
    QDialog::reject();
}

bool TFormWordEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == PanelBottom && event->type() == QEvent::MouseButtonDblClick && FCurrState == esEditing) {
        Guarded(this, [this] { CreateWordDocument(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormWordEditor::BtnDoneClick()
{
    if (FCurrState == esSubmitting)
        return;
    const TOperationResult result = SubmitToEditor();
    FExecuteReturn = result == orAllDone;
    if (result == orAllDone)
        done(QDialog::Accepted);
    else
        ShowUploadLog();
}

TFormUploadLog* TFormWordEditor::UploadLogForm()
{
    if (!FUploadLogForm)
        FUploadLogForm = new TFormUploadLog(this);
    return FUploadLogForm;
}

void TFormWordEditor::ShowUploadLog()
{
    UploadLogForm()->Execute(FUploadLogs, tr("Error occurs in uploading process"), true);
}

void TFormWordEditor::SetSubmitProgress(const QString& text, int value, int maxValue)
{
    LabelSubmitStatus->setText(text);
    GaugeSubmitProgress->setMinimum(0);
    if (maxValue > 0)
        GaugeSubmitProgress->setMaximum(maxValue);
    GaugeSubmitProgress->setValue(value);
    PanelSubmitStatus->repaint();
}

// --- editor -> document -----------------------------------------------------

void TFormWordEditor::LoadEditorHtmlToWord(const THtmlElement& editorIFrame)
{
    if (FConvertMethod == cmFullConversion)
        LoadByFullConversion(editorIFrame);
    else
        LoadByClipboard(editorIFrame);
}

void TFormWordEditor::ShowEditStatus(int droppedPictures)
{
    QString text;
    if (droppedPictures == 1)
        text = tr("1 picture of the site's content named a local file and was left out");
    else if (droppedPictures > 1)
        text = tr("%1 pictures of the site's content named local files and were left out").arg(droppedPictures);
    LabelEditStatus->setText(text);
    LabelEditStatus->setVisible(FCurrState == esEditing && !text.isEmpty());
}

// Pictures already in the site editor live on the site (draft or plugin
// files) and are readable only with the user's session, which the word
// processor does not have. The site's own files among them are fetched with
// the session into a private folder, and kept only when they are pictures:
// the session reads any page of the site, and a grade report saved as a
// "picture" would go wherever the document goes.
QVariantMap TFormWordEditor::FetchSitePictures(const THtmlElement& editor, const THtmlElement& content,
                                               const QString& pageUrl)
{
    QVariantMap copies;
    TMoodleSysConfig* site = MoodleSysConfig();
    if (!site || !editor.Browser())
        return copies;
    const QUrl root(site->RootUrl());
    QStringList wanted;
    for (const QVariant& v : content.Evaluate(TSiteContent::PictureAddressesScript(), {pageUrl}).toList())
        if (TSiteContent::IsSiteFileAddress(QUrl(v.toString()), root))
            wanted << v.toString();
    if (wanted.isEmpty())
        return copies;

    // Nothing larger than the site would take back; a page without its
    // picker options gets the general cap.
    qint64 cap = TSiteContent::DefaultPictureCap;
    try {
        cap = TSiteContent::PictureCap(TMoodleRepoBrowserSite::ReadPageValues(
            editor.Browser(), TMoodleRepoUtil::ExtractEditorId(editor.Id()), QStringLiteral("image")).MaxBytes);
    } catch (const Exception&) {
    }

    const int job = ++FFetchSerial;
    content.Evaluate(TSiteContent::StartFetchScript(), {wanted, double(cap), job});
    QVariantList results;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const QVariantMap state = content.Evaluate(TSiteContent::FetchStateScript(), {job, false}).toMap();
        if (state.contains(QStringLiteral("results"))) {
            results = state.value(QStringLiteral("results")).toList();
            break;
        }
        if (state.contains(QStringLiteral("gone")))
            break;
        if (clock.elapsed() > 90000) {
            content.Evaluate(TSiteContent::FetchStateScript(), {job, true});
            break;
        }
        QEventLoop pause;
        QTimer::singleShot(20, &pause, &QEventLoop::quit);
        pause.exec();
    }

    int n = 0;
    for (const QVariant& v : std::as_const(results)) {
        const QVariantMap r = v.toMap();
        const QString url = r.value(QStringLiteral("url")).toString();
        // A redirect is followed by the page: where it ended must be a file
        // of the site too.
        if (!r.value(QStringLiteral("error")).toString().isEmpty() || r.value(QStringLiteral("status")).toInt() != 200
            || !TSiteContent::IsSiteFileAddress(QUrl(r.value(QStringLiteral("final")).toString()), root)
            || !TSiteContent::IsImageContentType(r.value(QStringLiteral("type")).toString()))
            continue;
        const QByteArray data = QByteArray::fromBase64(r.value(QStringLiteral("data")).toString().toLatin1());
        const QString format = TSiteContent::PictureFormat(data);
        if (data.size() > cap || format.isEmpty())
            continue;
        if (!FSitePictures)
            FSitePictures = PrivateFolder(QStringLiteral("SitePictures"));
        QFile file(FSitePictures->filePath(QStringLiteral("S_%1.%2").arg(++n).arg(TSiteContent::PictureSuffix(format))));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            continue;
        copies.insert(url, QUrl::fromLocalFile(file.fileName()).toString());
    }
    return copies;
}

// The site editor's content HTML (or the whole HTML of the document that
// holds it) as the word processor may be given it: the word processor loads
// every picture an HTML text names, local files included, and resolves
// relative addresses against a folder of ours. Addresses relative to the
// site page are made absolute, the site's pictures name their local copies,
// and whatever would name a local file is left out (counted for the status
// line); the site editor itself is not changed.
QString TFormWordEditor::SiteContentForWord(const THtmlElement& editor, bool wholeDocument)
{
    THtmlElement content = TMoodleEditors::ContentElement(editor);
    if (!content)
        content = editor.TagName().compare(QLatin1String("iframe"), Qt::CaseInsensitive) == 0
            ? editor.ContentDocument().Body()
            : editor;
    const QString pageUrl = editor.Browser() ? editor.Browser()->LocationURL() : QString();
    FSitePictures.reset();
    const QVariantMap copies = FetchSitePictures(editor, content, pageUrl);
    const QVariantMap r =
        content.Evaluate(TSiteContent::FilterForWordScript(), {wholeDocument, pageUrl, copies}).toMap();
    if (!r.contains(QStringLiteral("html")))
        throw EBrowserScriptError(QStringLiteral("The site editor's content could not be read"));
    FDroppedPictures += r.value(QStringLiteral("dropped")).toInt();
    return r.value(QStringLiteral("html")).toString();
}

void TFormWordEditor::LoadByClipboard(const THtmlElement& editorIFrame)
{
    FDroppedPictures = 0;
    if (TMoodleEditors::ContentOf(editorIFrame) == TMoodleEditorContent::Empty) {
        ResetWordDocument();
        ShowEditStatus(0);
        return;
    }
    // The editor's content goes over the system clipboard (replacing what was
    // there), with site pictures already made local.
    const THtmlElement body = TMoodleEditors::ContentElement(editorIFrame);
    const QString html = SiteContentForWord(editorIFrame, false);
    auto* mime = new QMimeData();
    mime->setHtml(QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>") + html
                  + QStringLiteral("</body></html>"));
    mime->setText(body.InnerText());
    QGuiApplication::clipboard()->setMimeData(mime);
    IWordDocument* word = WordDoc();
    word->SelectAll();
    word->Paste();
    ShowEditStatus(FDroppedPictures);
}

void TFormWordEditor::LoadByFullConversion(const THtmlElement& editorIFrame)
{
    FDroppedPictures = 0;
    // The editor's whole document; an editor without a document of its own
    // (Atto) gives its content in a document of ours.
    QString html;
    if (TMoodleEditors::FamilyOf(editorIFrame) == TMoodleEditorFamily::Atto) {
        html = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>")
            + SiteContentForWord(editorIFrame, false) + QStringLiteral("</body></html>");
    } else {
        html = SiteContentForWord(editorIFrame, true);
    }
    html.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    html.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    // In an empty folder of its own: nothing beside the page for a relative
    // address to reach.
    const std::unique_ptr<QTemporaryDir> folder = PrivateFolder(QStringLiteral("Import"));
    const QString path = folder->filePath(QStringLiteral("Import.html"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError(QStringLiteral("Cannot write %1").arg(path));
    file.write("\xEF\xBB\xBF");
    file.write(html.toUtf8());
    file.close();

    auto imported = TMsWordUtil::OpenDocSimple(*FAutomation, path, word_const::msoEncodingUTF8, false);
    imported->SelectAll();
    imported->Copy();
    IWordDocument* word = WordDoc();
    word->SelectAll();
    word->Paste();
    TMsWordUtil::CloseDoc(*imported, false, word_const::wdOriginalDocumentFormat, false);
    ShowEditStatus(FDroppedPictures);
}

// --- document -> editor -----------------------------------------------------

void TFormWordEditor::LoadHtmlFile(const QString& fileName)
{
    BrowserDoc->Navigate(QUrl::fromLocalFile(fileName).toString());
    if (!TEmbeddedWB::WaitForReadyState(BrowserDoc, TEmbeddedWB::rsComplete, false))
        throw EVantoliException(QStringLiteral("The exported page could not be loaded"));
}

TOperationResult TFormWordEditor::SubmitToEditor()
{
    SetCurrState(esSubmitting);
    // The window is usable again after the run, also after an error: with
    // Done disabled while submitting, staying in esSubmitting would lock it.
    TScopeExit back([this] {
        PanelSubmitStatus->hide();
        SetCurrState(esEditing);
    });
    SetSubmitProgress(tr("Preparing"), 0, 0);
    PanelSubmitStatus->show();

    // Each submission exports into a fresh folder of its own: the pictures
    // the word processor writes there are the document's own, and nothing
    // an earlier submission or anyone else left there is taken for one.
    const std::unique_ptr<QTemporaryDir> exportFolder = PrivateFolder(QStringLiteral("Submit"));
    const QString folder = exportFolder->path();
    const QString exported = exportFolder->filePath(QStringLiteral("Exported.html"));
    WordDoc()->SaveAsFilteredHtml(exported);
    // The page as a site editor would write it: the pictures get their own
    // names (files copied beside the export) and their alternative texts,
    // which only the document's flat export holds.
    const QString flatExport = QFileInfo(exported).absoluteDir().filePath(QStringLiteral("Document.fodt"));
    WordDoc()->SaveAs(flatExport, QStringLiteral("fodt"));
    const TOfficeHtmlCleanResult cleaned = TOfficeHtmlUtil::PrepareExportedPage(exported, flatExport);
    QFile::remove(flatExport);
    const int withoutAlt = cleaned.PicturesWithoutAlt;
    LabelSubmitNote->setText(withoutAlt == 1 ? tr("1 picture has no alternative text")
                                             : tr("%1 pictures have no alternative text").arg(withoutAlt));
    LabelSubmitNote->setVisible(withoutAlt > 0);

    LoadHtmlFile(exported);
    const THtmlDocument doc = BrowserDoc->Document();
    doc.Evaluate(QStringLiteral(
        "var all = n.body ? n.body.getElementsByTagName('*') : [];"
        " for (var i = 0; i < all.length; i++)"
        "  if (typeof all[i].className == 'string' && all[i].className.toLowerCase() == 'msonormal')"
        "   all[i].className = '';"));
    const TOperationResult result = CheckAndUploadHtmlImages(doc, folder);

    SetSubmitProgress(tr("Inserting HTML"), GaugeSubmitProgress->maximum() - 1, 0);
    // What the site editor gets runs nothing: the word processor keeps
    // scripts and event attributes it was given (see the tests).
    doc.Evaluate(TSiteContent::RemoveActiveContentScript());
    const QString bodyHtml = doc.Body().OuterHTML();
    const QString wrapped = QStringLiteral("<div style=\"position: relative\">") + bodyHtml + QStringLiteral("</div>");
    TMoodleEditors::SetContent(FEditorElem, wrapped);

    SetSubmitProgress(tr("Submit done"), GaugeSubmitProgress->maximum(), 0);
    PanelSubmitStatus->hide();
    return result;
}

TFileUploader* TFormWordEditor::SetupMoodleRepoUploader()
{
    if (!FRepoUploader)
        FRepoUploader = std::make_unique<TMoodleRepoFileUploader>();
    // The posts must carry the site tab's session: the posting browser uses
    // the tab browser's profile.
    QWebEngineProfile* profile = FEditorBrowser ? FEditorBrowser->page()->profile() : nullptr;
    if (!BrowserUpload || BrowserUpload->page()->profile() != profile) {
        delete BrowserUpload;
        BrowserUpload = new TEmbeddedWB(this, profile);
        BrowserUpload->setFixedSize(1, 1);
        BrowserUpload->hide();
    }
    if (!FRepoSite)
        FRepoSite = std::make_unique<TMoodleRepoBrowserSite>(FEditorBrowser.data(), BrowserUpload);
    FRepoSite->SetTargetBrowser(FEditorBrowser.data());
    FRepoSite->SetOperBrowser(BrowserUpload);
    FRepoUploader->SetUploadSite(FRepoSite.get());
    FRepoUploader->SetRepoItem(QStringLiteral("image"));
    FRepoUploader->SetTargetEditorId(FEditorElem.IsAssigned() ? FEditorElem.Id() : QString());
    FRepoUploader->SetMoodleRepoPostUrl(MoodleSysConfig() ? MoodleSysConfig()->RepoUploadUrl() : QString());
    return FRepoUploader.get();
}

void TFormWordEditor::AbortUploading()
{
    if (FFileUploader)
        FFileUploader->Abort();
    FAbortUploading = true;
    if (FWakeWait)
        FWakeWait();
}

TOperationResult TFormWordEditor::CheckAndUploadHtmlImages(const THtmlDocument& doc, const QString& baseFolder)
{
    if (FCurrRun)
        FCurrRun->Stopped = true;
    auto run = std::make_shared<TUploadRun>();
    FCurrRun = run;
    run->Window = this;
    run->DocBrowser = doc.Browser();
    run->Doc = doc;
    FAbortUploading = false;
    FUploadLogs.clear();
    run->UploadResult = orFail;
    run->AllDone = false;
    QString base = baseFolder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');

    auto log = [this](const QString& context, const QString& message) {
        FUploadLogs << tr("[Error] ") + context + QStringLiteral(": ") + message;
    };

    if (!run->DocBrowser)
        throw EVantoliException(QStringLiteral("The document has no page"));
    run->ImageSrcs = ReadImageSources(doc);
    // The document's own pictures are the files the export wrote into its
    // folder, and the site pictures fetched for this document.
    QStringList ownFolders{base};
    if (FSitePictures)
        ownFolders << FSitePictures->path();

    // Writes the final src texts into the page: after a completed upload
    // every handled src, otherwise (nothing uploaded, a failed connection)
    // only the refused ones lose their address, the others keep theirs.
    auto writeBack = [run](bool uploaded) {
        if (!run->Doc)
            return;
        QJsonArray changes;
        for (int i = 0; i < run->ImageSrcs.size(); ++i) {
            const QString& src = run->ImageSrcs[i];
            const QString now = uploaded ? run->HandledSrcs.value(src, src)
                                         : run->RefusedSrcs.contains(src) ? QString() : src;
            if (now != src)
                changes.append(QJsonArray{i, now});
        }
        if (!changes.isEmpty())
            run->Doc.Evaluate(QStringLiteral(
                "var imgs = n.getElementsByTagName('img'), c = a[2];"
                " for (var i = 0; i < c.length; i++) if (imgs[c[i][0]]) imgs[c[i][0]].setAttribute('src', c[i][1]);"),
                {QVariant(changes.toVariantList())});
    };

    // One upload per local file, however many img elements name it and
    // through whichever src text; the file system decides what is the same
    // file (names differ by case on this system).
    QHash<QString, QString> entryOfKey;
    for (const QString& src : std::as_const(run->ImageSrcs)) {
        if (run->HandledSrcs.contains(src))
            continue;
        QString path;
        if (src.isEmpty() || src.startsWith(QLatin1String("data:"), Qt::CaseInsensitive)) {
            // no file behind it
        } else if (!TUrlUtil::IsAbsoluteUrl(src)) {
            path = base + src;
            const QString decoded = base + QUrl::fromPercentEncoding(src.toUtf8());
            if (!QFileInfo::exists(path) && QFileInfo::exists(decoded))
                path = decoded;
        } else if (TUrlUtil::IsFileProtocol(src)) {
            path = TUrlUtil::FileUrlToAbsolutePath(src);
        }
        if (path.isEmpty()) {
            run->HandledSrcs.insert(src, src);
            continue;
        }
        // A file: address or a path out of the folder names some other file
        // of the user's; a link may point anywhere; a file named .png may
        // hold anything. None of them is sent, none keeps its address.
        const QString refusal = TSiteContent::UploadRefusal(path, ownFolders);
        if (!refusal.isEmpty()) {
            run->HandledSrcs.insert(src, QString());
            run->RefusedSrcs.insert(src);
            log(tr("Picture %1 not uploaded").arg(src), refusal);
            continue;
        }
        // The file checked is the file sent: the canonical path.
        const QString key = QFileInfo(path).canonicalFilePath();
        QString entry = entryOfKey.value(key);
        if (entry.isEmpty()) {
            entry = key;
            entryOfKey.insert(key, entry);
            run->Files << entry;
        }
        run->SrcsOfFile[entry] << src;
        run->HandledSrcs.insert(src, QString());
    }

    if (run->Files.isEmpty()) {
        run->UploadResult = run->RefusedSrcs.isEmpty() ? orAllDone : orFail;
        run->Stopped = true;
        writeBack(false);
        return run->UploadResult;
    }

    TMoodleSysConfig* site = MoodleSysConfig();
    if (!site)
        throw EVantoliException(QStringLiteral("No site preset for the submission"));
    std::unique_ptr<TFileUploader> owned;
    TScopeExit freeOwned([this, &owned] {
        if (owned) {
            FFileUploader = nullptr;
            owned.reset();
        }
    });
    if (site->ActualFileUploadMethod() == TMoodleSysConfig::umMoodle) {
        FFileUploader = SetupMoodleRepoUploader();
    } else {
        const QString name = site->CustomFileUploaderConfigName();
        TConfigPreset* preset = FileUploaderPresetsConfig()->Presets()->FindItemWithName(name);
        auto* config = preset ? qobject_cast<TFileUploaderConfig*>(preset->Config()) : nullptr;
        if (!config) {
            // The site names an uploader preset that no longer exists: the
            // pictures keep their local addresses, nothing is sent anywhere.
            FFileUploader = nullptr;
            log(QString(), tr("Uploader preset \"%1\" not found").arg(name));
            run->Stopped = true;
            writeBack(false);
            return orFail;
        }
        owned = TFileUploaderFactory::CreateUploader(config->UploaderName(), config);
        FFileUploader = owned.get();
    }
    if (OnUploaderReady)
        OnUploaderReady(FFileUploader);

    run->TotalUploadCount = int(run->Files.size());
    run->CurrUploadIndex = 0;

    auto single = [run](bool success, const QString& srcFile, const QString& destUrl, const Exception* e,
                        bool& continueNext) {
        continueNext = false;
        TFormWordEditor* w = run->Window.data();
        if (run->Stopped || !w)
            return;
        const QString fileName = QFileInfo(srcFile).fileName();
        const QString context = tr("Fail to upload file %1").arg(fileName);
        if (e) {
            w->FUploadLogs << tr("[Error] ") + context + QStringLiteral(": ") + e->Message();
        } else if (success) {
            continueNext = true;
            for (const QString& src : run->SrcsOfFile.value(srcFile))
                run->HandledSrcs.insert(src, destUrl);
            const int k = run->CurrUploadIndex + 1;
            w->SetSubmitProgress(tr("Image uploading") + QStringLiteral(" (%1/%2)").arg(k).arg(run->TotalUploadCount),
                                 k, run->TotalUploadCount + 1);
            run->CurrUploadIndex = k;
        } else {
            w->FUploadLogs << tr("[Error] ") + context + QStringLiteral(": ") + tr("Unknown error");
        }
    };
    // The addresses are written after the wait, and only when no whole-call
    // error came with the summary: a failed connection leaves every picture
    // with its local address rather than emptying them all.
    auto summary = [run](int totalCount, int successCount) {
        if (run->Stopped)
            return;
        run->UploadResult = totalCount == successCount ? orAllDone : successCount != 0 ? orPartialDone : orFail;
        run->SummaryDone = true;
        run->AllDone = true;
        if (run->Window && run->Window->FWakeWait)
            run->Window->FWakeWait();
    };
    auto error = [run](const Exception& e) {
        if (run->Stopped)
            return;
        if (TFormWordEditor* w = run->Window.data())
            w->FUploadLogs << tr("[Error] ") + QStringLiteral(": ") + e.Message();
        run->UploadResult = orFail;
        run->Fatal = true;
        run->AllDone = true;
        if (run->Window && run->Window->FWakeWait)
            run->Window->FWakeWait();
    };

    QEventLoop wait;
    FWakeWait = [&wait] { wait.quit(); };
    TScopeExit endWait([this, run] {
        FWakeWait = nullptr;
        run->Stopped = true;
    });
    FFileUploader->Upload(run->Files, single, summary, error);
    while (!run->AllDone && !FAbortUploading) {
        // Once the program is quitting every new loop returns -1 at once:
        // the run is cancelled instead of spinning until the upload ends.
        if (wait.exec() == -1)
            AbortUploading();
    }
    // A whole-call error may follow the summary in the same delivery.
    QCoreApplication::sendPostedEvents();
    run->Stopped = true;

    writeBack(run->SummaryDone && !run->Fatal);

    if (FAbortUploading) {
        run->UploadResult = orFail;
        log(QString(), tr("User terminated uploading"));
    }
    // A picture left out is not a complete submission: the window stays
    // open with the log.
    if (!run->RefusedSrcs.isEmpty() && run->UploadResult == orAllDone)
        run->UploadResult = orPartialDone;
    return run->UploadResult;
}
