#include "web/moodlereposite.h"

#include "web/embeddedwb.h"
#include "web/moodleeditors.h"
#include "web/webbrowsers.h"
#include "web/webscripts.h"

#include <QLoggingCategory>

// Which editor family each upload read its values from; on by default, a
// line per submission.
Q_LOGGING_CATEGORY(lcMoodleRepo, "vantoli.moodle.repository", QtInfoMsg)

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
// The picker values of a TinyMCE 6/7 or Atto editor, as one object: the
// values found, the family number, and "missing": the names of the values
// the page does not give. TinyMCE holds them as registered options of its
// instance; Atto only in the options of its init call in the page's footer
// script, read here from the script text. The draft item id and the context
// id may also come from the instance's own options or the form's hidden
// "<field>[itemid]".
const char* const ModernValuesScript = R"JS((function (id, item, fam) {
  var family = fam(document.getElementById(id + "_ifr")) || fam(document.getElementById(id + "editable"));
  var r = {family: family, missing: []};
  function given(v) { return v !== undefined && v !== null && v !== ""; }
  function first() { for (var i = 0; i < arguments.length; i++) if (given(arguments[i])) return arguments[i]; }
  // The object literal that starts at text[at], or null.
  function objectAt(text, at) {
    while (at < text.length && /\s/.test(text[at])) at++;
    if (text[at] !== "{") return null;
    var depth = 0, str = false;
    for (var i = at; i < text.length; i++) {
      var c = text[i];
      if (str) { if (c === "\\") i++; else if (c === '"') str = false; continue; }
      if (c === '"') str = true;
      else if (c === "{") depth++;
      else if (c === "}" && --depth === 0) {
        try { return JSON.parse(text.substring(at, i + 1)); } catch (e) { return null; }
      }
    }
    return null;
  }
  var opts, draft, ctx;
  if (family === 2) {
    var ed = window.tinymce && tinymce.get(id);
    if (!ed) { r.missing.push("TinyMCE editor instance"); return r; }
    var pickers = ed.options.get("moodle:filepickers");
    opts = pickers && pickers[item];
    draft = ed.options.get("moodle:draftitemid");
    ctx = ed.options.get("moodle:contextid");
  } else if (family === 3) {
    var marker = "Y.M.editor_atto.Editor.init(", config = null;
    var scripts = document.getElementsByTagName("script");
    for (var s = 0; s < scripts.length && !config; s++) {
      var text = scripts[s].text, at = 0;
      while (!config && (at = text.indexOf(marker, at)) >= 0) {
        at += marker.length;
        var o = objectAt(text, at);
        if (o && o.elementid === id) config = o;
      }
    }
    if (!config) { r.missing.push("Atto editor options"); return r; }
    opts = config.filepickeroptions && config.filepickeroptions[item];
    ctx = config.contextid;
  } else {
    return r;
  }
  if (!opts) { r.missing.push(item + " file picker options"); return r; }
  var ta = document.getElementById(id), hidden;
  if (ta && ta.name) {
    var f = document.getElementsByName(ta.name.replace(/\[text\]$/, "") + "[itemid]")[0];
    if (f) hidden = f.value;
  }
  r.sesskey = window.M && M.cfg && M.cfg.sesskey;
  for (var k in opts.repositories || {})
    if (opts.repositories[k].type === "upload") r.repo_id = opts.repositories[k].id;
  r.env = opts.env;
  r.client_id = opts.client_id;
  r.itemid = first(opts.itemid, draft, hidden);
  r.maxbytes = opts.maxbytes;
  r.ctx_id = first(opts.context && opts.context.id, ctx);
  var names = {sesskey: "sesskey", repo_id: "upload repository id", env: "env", client_id: "client_id",
               itemid: "itemid", maxbytes: "maxbytes", ctx_id: "context.id"};
  for (var n in names) if (!given(r[n])) r.missing.push(names[n]);
  return r;
}))JS";

TMoodleRepoPageValues ReadModernValues(TEmbeddedWB* browser, const QString& editorId, const QString& itemType,
                                       TMoodleEditorFamily family)
{
    const QVariantMap r = browser->ExecScript(QStringLiteral("%1(%2, %3, %4)")
        .arg(QString::fromLatin1(ModernValuesScript), webscripts::Literal(editorId), webscripts::Literal(itemType),
             TMoodleEditors::FamilyScript())).toMap();
    const QString editor = QStringLiteral("%1 editor %2").arg(TMoodleEditors::FamilyName(family), editorId);
    TMoodleRepoPageValues v = TMoodleRepoUtil::ReadPickerValues(r, editor);
    qCInfo(lcMoodleRepo).noquote() << "upload values read from the" << editor;
    return v;
}

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
    const TMoodleEditorFamily family = TMoodleEditors::FamilyOfEditor(browser, editorId);
    if (family == TMoodleEditorFamily::TinyMCE || family == TMoodleEditorFamily::Atto)
        return ReadModernValues(browser, editorId, itemType, family);
    // The legacy editor, and pages whose editor is not recognised: the
    // page-wide option map of TinyMCE 3, page errors raised as they are.
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
    if (family != TMoodleEditorFamily::None)
        qCInfo(lcMoodleRepo).noquote() << "upload values read from the" << TMoodleEditors::FamilyName(family)
                                       << "editor" << editorId;
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
