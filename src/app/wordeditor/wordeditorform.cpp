#include "app/wordeditor/wordeditorform.h"

#include "app/config/appconfigs.h"
#include "app/shell/formplacement.h"
#include "app/shell/globaldm.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/fileuploaders.h"
#include "app/uploaders/moodlerepouploaders.h"
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
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>

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

// The img elements' src attributes of the page shown in browser, in document
// order (a missing attribute reads as an empty text).
QStringList ReadImageSources(TEmbeddedWB* browser)
{
    const QVariant value = browser->ExecScript(QStringLiteral(
        "Array.prototype.map.call(document.getElementsByTagName('img'),"
        " function(e){ var s = e.getAttribute('src'); return s === null ? '' : s; })"));
    QStringList sources;
    for (const QVariant& v : value.toList())
        sources << v.toString();
    return sources;
}

// The file extension a fetched site picture is stored under.
QString PictureSuffix(const QString& url, const QString& contentType)
{
    static const QStringList known{"png", "jpg", "jpeg", "gif", "bmp", "svg", "webp"};
    const QString fromUrl = QFileInfo(QUrl(url).path()).suffix().toLower();
    if (known.contains(fromUrl))
        return fromUrl;
    for (const QString& s : known)
        if (contentType.contains(s, Qt::CaseInsensitive))
            return s == QLatin1String("jpeg") ? QStringLiteral("jpg") : s;
    return QStringLiteral("png");
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
    QStringList ImageSrcs;             // the src of each img element, in document order
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

    bottom->addWidget(PanelSubmitStatus);
    bottom->addWidget(PanelWordOper);
    bottom->addStretch();
    bottom->addWidget(BtnDone);
    bottom->addWidget(BtnCancel);

    // Hidden one-pixel browsers: the exported page is loaded in BrowserDoc,
    // the repository posts go through BrowserUpload.
    BrowserDoc = new TEmbeddedWB(this);
    BrowserDoc->setFixedSize(1, 1);
    BrowserDoc->hide();

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
    const TOfficeExportFormat& format = TOfficeFileFormats::ExportFormatFor(filter);
    ExportWordDocument(TOfficeFileFormats::WithSuffix(file, format), format.format);
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

// Pictures already in the site editor live on the site (draft or plugin
// files) and are readable only with the user's session, which the word
// processor does not have. They are fetched from inside the page, with its
// session, into the temporary folder, and the HTML handed over names the
// local copies: they show in the document and are uploaded again on Done.
// Answers the editor's content HTML, or the whole HTML of the document that
// holds it (wholeDocument), with those addresses replaced.
QString TFormWordEditor::LocalizeSitePictures(const THtmlElement& editor, const QString& html, bool wholeDocument)
{
    TEmbeddedWB* browser = editor.Browser();
    const THtmlElement content = TMoodleEditors::ContentElement(editor);
    if (!browser || !content || editor.Id().isEmpty() || content.GetElementsByTagNameLength(QStringLiteral("img")) == 0)
        return html;
    const QString frameExpr = TMoodleEditors::ContentElementScript(editor);
    const QVariant fetched = browser->ExecScript(QStringLiteral(
        "(function(){ var d = %1; var imgs = d.getElementsByTagName('img'); var out = [];"
        " for (var i = 0; i < imgs.length; i++) {"
        "  var s = imgs[i].getAttribute('src') || ''; var r = {src: s, data: '', type: ''};"
        "  if (/^https?:/i.test(s)) { try {"
        "   var x = new XMLHttpRequest(); x.open('GET', imgs[i].src, false);"
        "   x.overrideMimeType('text/plain; charset=x-user-defined'); x.send();"
        "   if (x.status == 200) { var t = x.responseText, b = [];"
        "    for (var k = 0; k < t.length; k += 8192) {"
        "     var part = t.substring(k, k + 8192), c = '';"
        "     for (var j = 0; j < part.length; j++) c += String.fromCharCode(part.charCodeAt(j) & 255);"
        "     b.push(c); }"
        "    r.data = btoa(b.join('')); r.type = x.getResponseHeader('Content-Type') || ''; }"
        "  } catch (e) {} }"
        "  out.push(r); }"
        " return out; })()").arg(frameExpr));
    const QString folder = AppTempPath(true) + QStringLiteral("/SitePictures");
    QDir().mkpath(folder);
    QJsonObject map;
    int n = 0;
    for (const QVariant& v : fetched.toList()) {
        const QVariantMap r = v.toMap();
        const QString src = r.value("src").toString();
        const QByteArray data = QByteArray::fromBase64(r.value("data").toString().toLatin1());
        if (data.isEmpty() || map.contains(src))
            continue;
        const QString name = TimeStampName(QStringLiteral("S")) + QStringLiteral("_%1.").arg(++n)
            + PictureSuffix(src, r.value("type").toString());
        QFile file(folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            continue;
        map.insert(src, QUrl::fromLocalFile(file.fileName()).toString());
    }
    if (map.isEmpty())
        return html;
    return browser->ExecScript(QStringLiteral(
        "(function(){ var d = %1; var map = %2; var whole = %3;"
        " var c = (whole ? d.ownerDocument.documentElement : d).cloneNode(true);"
        " var imgs = c.getElementsByTagName('img');"
        " for (var i = 0; i < imgs.length; i++) { var s = imgs[i].getAttribute('src');"
        "  if (s !== null && map.hasOwnProperty(s)) imgs[i].setAttribute('src', map[s]); }"
        " return whole ? c.outerHTML : c.innerHTML; })()")
        .arg(frameExpr, QString::fromUtf8(QJsonDocument(map).toJson(QJsonDocument::Compact)),
             wholeDocument ? QStringLiteral("true") : QStringLiteral("false"))).toString();
}

void TFormWordEditor::LoadByClipboard(const THtmlElement& editorIFrame)
{
    if (TMoodleEditors::ContentOf(editorIFrame) == TMoodleEditorContent::Empty) {
        ResetWordDocument();
        return;
    }
    // The editor's content goes over the system clipboard (replacing what was
    // there), with site pictures already made local.
    const THtmlElement body = TMoodleEditors::ContentElement(editorIFrame);
    const QString html = LocalizeSitePictures(editorIFrame, body.InnerHTML(), false);
    auto* mime = new QMimeData();
    mime->setHtml(QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>") + html
                  + QStringLiteral("</body></html>"));
    mime->setText(body.InnerText());
    QGuiApplication::clipboard()->setMimeData(mime);
    IWordDocument* word = WordDoc();
    word->SelectAll();
    word->Paste();
}

void TFormWordEditor::LoadByFullConversion(const THtmlElement& editorIFrame)
{
    // The editor's whole document; an editor without a document of its own
    // (Atto) gives its content in a document of ours.
    QString html;
    if (TMoodleEditors::FamilyOf(editorIFrame) == TMoodleEditorFamily::Atto) {
        html = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>")
            + LocalizeSitePictures(editorIFrame, editorIFrame.InnerHTML(), false) + QStringLiteral("</body></html>");
    } else {
        const THtmlDocument doc = editorIFrame.ContentDocument();
        html = LocalizeSitePictures(editorIFrame, doc.DocumentElement().OuterHTML(), true);
    }
    html.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    html.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    const QString path = AppTempPath(true) + QStringLiteral("/Import.html");
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

    const QString folder = AppTempPath(true);
    const QString exported = folder + QStringLiteral("/Exported.html");
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
    BrowserDoc->ExecScript(QStringLiteral(
        "(function(){ var all = document.body ? document.body.getElementsByTagName('*') : [];"
        " for (var i = 0; i < all.length; i++)"
        "  if (typeof all[i].className == 'string' && all[i].className.toLowerCase() == 'msonormal')"
        "   all[i].className = ''; })()"));
    const TOperationResult result = CheckAndUploadHtmlImages(doc, folder);

    SetSubmitProgress(tr("Inserting HTML"), GaugeSubmitProgress->maximum() - 1, 0);
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
    run->ImageSrcs = ReadImageSources(run->DocBrowser);

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
        const QFileInfo info(path);
        const QString key = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
        QString entry = entryOfKey.value(key);
        if (entry.isEmpty()) {
            entry = path;
            entryOfKey.insert(key, entry);
            run->Files << entry;
        }
        run->SrcsOfFile[entry] << src;
        run->HandledSrcs.insert(src, QString());
    }

    if (run->Files.isEmpty()) {
        run->UploadResult = orAllDone;
        run->Stopped = true;
        return orAllDone;
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
    while (!run->AllDone && !FAbortUploading)
        wait.exec();
    // A whole-call error may follow the summary in the same delivery.
    QCoreApplication::sendPostedEvents();
    run->Stopped = true;

    if (run->SummaryDone && !run->Fatal && run->DocBrowser) {
        QJsonArray changes;
        for (int i = 0; i < run->ImageSrcs.size(); ++i) {
            const QString& src = run->ImageSrcs[i];
            const QString now = run->HandledSrcs.value(src, src);
            if (now != src)
                changes.append(QJsonArray{i, now});
        }
        if (!changes.isEmpty())
            run->DocBrowser->ExecScript(QStringLiteral(
                "(function(){ var imgs = document.getElementsByTagName('img'); var c = %1;"
                " for (var i = 0; i < c.length; i++) if (imgs[c[i][0]]) imgs[c[i][0]].setAttribute('src', c[i][1]); })()")
                .arg(QString::fromUtf8(QJsonDocument(changes).toJson(QJsonDocument::Compact))));
    }

    if (FAbortUploading) {
        run->UploadResult = orFail;
        log(QString(), tr("User terminated uploading"));
    }
    return run->UploadResult;
}
