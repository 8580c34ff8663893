#include "web/moodlereposite.h"

#include "web/embeddedwb.h"
#include "web/webbrowsers.h"

namespace {
// The last repository of type "upload" listed in the options, else 3.
const char* const RepoIdScript =
    "var _repo_id = 3;"
    "for (var entry in _pickerOptions.repositories)"
    "{"
    "  if (_pickerOptions.repositories[entry].type == \"upload\")"
    "  {"
    "    _repo_id = _pickerOptions.repositories[entry].id;"
    "    var _supportedtypes = _pickerOptions.repositories[entry].supported_types;"
    "  }"
    "}";
} // namespace

TMoodleRepoBrowserSite::TMoodleRepoBrowserSite(TEmbeddedWB* targetBrowser, TEmbeddedWB* operBrowser)
    : FTargetBrowser(targetBrowser), FOperBrowser(operBrowser)
{
}

TMoodleRepoPageValues TMoodleRepoBrowserSite::ReadPageValues(TEmbeddedWB* browser, const QString& editorId,
                                                             const QString& itemType)
{
    if (!browser)
        throw EFileUploaderException(QStringLiteral("The page of the target editor is not shown"));
    browser->ExecScript(QStringLiteral("var _pickerOptions = M.editor_tinymce.filepicker_options.%1.%2").arg(editorId, itemType));
    browser->ScriptValue(QStringLiteral("_pickerOptions"));
    browser->ExecScript(QString::fromLatin1(RepoIdScript));
    TMoodleRepoPageValues v;
    v.RepoId = browser->ScriptValue(QStringLiteral("_repo_id"));
    v.SessKey = browser->ScriptValue(QStringLiteral("M.cfg.sesskey"));
    v.Env = browser->ScriptValue(QStringLiteral("_pickerOptions.env"));
    v.ClientId = browser->ScriptValue(QStringLiteral("_pickerOptions.client_id"));
    v.ItemId = browser->ScriptValue(QStringLiteral("_pickerOptions.itemid"));
    v.MaxBytes = browser->ScriptValue(QStringLiteral("_pickerOptions.maxbytes"));
    v.ContextId = browser->ScriptValue(QStringLiteral("_pickerOptions.context.id"));
    return v;
}

void TMoodleRepoBrowserSite::FillUploadParamValues(TEmbeddedWB* browser, const QString& frameId,
                                                   const QString& itemType, QStringList& params)
{
    params.clear();
    const QString editorId = TMoodleRepoUtil::ExtractEditorId(frameId);
    params = TMoodleRepoUtil::BuildUploadParams(ReadPageValues(browser, editorId, itemType));
}

TMoodleRepoPageValues TMoodleRepoBrowserSite::ReadUploadPageValues(const QString& editorId, const QString& itemType)
{
    return ReadPageValues(FTargetBrowser.data(), editorId, itemType);
}

QString TMoodleRepoBrowserSite::PostUpload(const QString& url, const QStringList& params, const QStringList& files)
{
    if (!FOperBrowser)
        throw EFileUploaderException(QStringLiteral("No browser to post the upload through"));
    FAbortRequested = false;
    FPosting = true;
    QString answer;
    try {
        answer = TEmbeddedWBUtil::BrowserPost(FOperBrowser.data(), url, &params, &files);
    } catch (...) {
        FPosting = false;
        throw;
    }
    FPosting = false;
    // A stopped post leaves the previous answer shown: never read it as this one's.
    if (FAbortRequested)
        throw EFileUploaderException(QStringLiteral("Upload aborted"));
    return answer;
}

void TMoodleRepoBrowserSite::AbortPost()
{
    if (!FPosting || !FOperBrowser)
        return;
    FAbortRequested = true;
    FOperBrowser->Stop();
}
