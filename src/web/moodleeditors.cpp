#include "web/moodleeditors.h"

#include "app/uploaders/moodlerepouploaders.h"
#include "web/embeddedwb.h"
#include "web/mshtmlutils.h"
#include "web/webscripts.h"

namespace {

TMoodleEditorFamily FamilyFromNumber(const QVariant& v)
{
    switch (v.toInt()) {
    case 1: return TMoodleEditorFamily::LegacyTinyMCE;
    case 2: return TMoodleEditorFamily::TinyMCE;
    case 3: return TMoodleEditorFamily::Atto;
    default: return TMoodleEditorFamily::None;
    }
}

bool IsFrameFamily(TMoodleEditorFamily f)
{
    return f == TMoodleEditorFamily::LegacyTinyMCE || f == TMoodleEditorFamily::TinyMCE;
}

QString EditorIdOf(const THtmlElement& editor)
{
    return TMoodleRepoUtil::ExtractEditorId(editor.Id());
}

// Runs call (a script using ed, the page's TinyMCE instance of the editor)
// in the page's main world, where that instance lives.
QVariant TinyCall(const THtmlElement& editor, const QString& call, const QString& html = QString())
{
    return editor.Browser()->ExecScript(QStringLiteral(
        "(function (id, html) { var ed = window.tinymce && tinymce.get(id);"
        " if (!ed) throw new Error('The page has no TinyMCE editor ' + id);"
        " return %1; })(%2, %3)")
        .arg(call, webscripts::Literal(EditorIdOf(editor)), webscripts::Literal(html)));
}

} // namespace

QString TMoodleEditors::FamilyScript()
{
    // The legacy test is the older one and stays as loose as it was (a class
    // text that contains the name); the newer ones look at the class list.
    return QStringLiteral(R"JS(function (n) {
  if (!n || !n.id) return 0;
  var p = n.parentElement;
  if (n.tagName === "IFRAME" && p) {
    if (String(p.className).indexOf("mceIframeContainer") >= 0) return 1;
    if (p.classList.contains("tox-edit-area")) return 2;
    return 0;
  }
  if (n.tagName === "DIV" && n.classList.contains("editor_atto_content") && /editable$/.test(n.id)
      && (n.isContentEditable || n.getAttribute("contenteditable") === "true")) return 3;
  return 0;
})JS");
}

TMoodleEditorFamily TMoodleEditors::FamilyOf(const THtmlElement& element)
{
    if (!element)
        return TMoodleEditorFamily::None;
    return FamilyFromNumber(element.Evaluate(QStringLiteral("return (%1)(n);").arg(FamilyScript())));
}

TMoodleEditorFamily TMoodleEditors::FamilyOfEditor(TEmbeddedWB* browser, const QString& editorId)
{
    if (!browser)
        return TMoodleEditorFamily::None;
    return FamilyFromNumber(browser->ExecScript(QStringLiteral(
        "(function (id) { var fam = %1;"
        " return fam(document.getElementById(id + '_ifr')) || fam(document.getElementById(id + 'editable')); })(%2)")
        .arg(FamilyScript(), webscripts::Literal(editorId))));
}

QString TMoodleEditors::FamilyName(TMoodleEditorFamily family)
{
    switch (family) {
    case TMoodleEditorFamily::LegacyTinyMCE: return QStringLiteral("TinyMCE 3");
    case TMoodleEditorFamily::TinyMCE: return QStringLiteral("TinyMCE 6/7");
    case TMoodleEditorFamily::Atto: return QStringLiteral("Atto");
    case TMoodleEditorFamily::None: break;
    }
    return QStringLiteral("no editor");
}

THtmlElement TMoodleEditors::ContentElement(const THtmlElement& editor)
{
    const TMoodleEditorFamily family = FamilyOf(editor);
    if (IsFrameFamily(family))
        return TMsHtmlUtil::GetFrameDocument(editor).Body();
    if (family == TMoodleEditorFamily::Atto)
        return editor;
    return {};
}

QString TMoodleEditors::ContentElementScript(const THtmlElement& editor)
{
    const QString byId = QStringLiteral("document.getElementById(%1)").arg(webscripts::Literal(editor.Id()));
    if (FamilyOf(editor) == TMoodleEditorFamily::Atto)
        return byId;
    return byId + QStringLiteral(".contentWindow.document.body");
}

TMoodleEditorContent TMoodleEditors::ContentOf(const THtmlElement& editor)
{
    if (FamilyOf(editor) == TMoodleEditorFamily::Atto) {
        if (TMsHtmlUtil::IsElementEmpty(editor))
            return TMoodleEditorContent::Empty;
        return TMsHtmlUtil::DoesElementHaveExternalElems(editor) ? TMoodleEditorContent::Pictures
                                                                 : TMoodleEditorContent::Text;
    }
    const THtmlDocument doc = TMsHtmlUtil::GetFrameDocument(editor);
    if (TMsHtmlUtil::IsDocumentEmpty(doc))
        return TMoodleEditorContent::Empty;
    return TMsHtmlUtil::DoesDocumentHasExternalElems(doc) ? TMoodleEditorContent::Pictures : TMoodleEditorContent::Text;
}

void TMoodleEditors::SetContent(const THtmlElement& editor, const QString& html)
{
    switch (FamilyOf(editor)) {
    case TMoodleEditorFamily::TinyMCE:
        // The instance writes its frame and keeps its textarea for the form.
        TinyCall(editor, QStringLiteral("void ed.setContent(html)"), html);
        return;
    case TMoodleEditorFamily::Atto:
        // Atto copies its div into the textarea on its own events and on
        // submit; the textarea is written too, and the events it listens to
        // are raised, so neither way loses the new content.
        editor.Evaluate(QStringLiteral(
            "n.innerHTML = a[2];"
            " var ta = n.ownerDocument.getElementById(a[3]); if (ta) ta.value = n.innerHTML;"
            " n.dispatchEvent(new Event('input', {bubbles: true}));"
            " n.dispatchEvent(new Event('change', {bubbles: true}));"),
            {html, EditorIdOf(editor)});
        return;
    case TMoodleEditorFamily::LegacyTinyMCE:
        TMsHtmlUtil::GetFrameDocument(editor).Body().SetInnerHTML(html);
        return;
    case TMoodleEditorFamily::None:
        break;
    }
    throw EBrowserScriptError(QStringLiteral("The element is not a site editor"));
}

QString TMoodleEditors::Content(const THtmlElement& editor)
{
    const TMoodleEditorFamily family = FamilyOf(editor);
    if (family == TMoodleEditorFamily::TinyMCE)
        return TinyCall(editor, QStringLiteral("ed.getContent()")).toString();
    const THtmlElement content = ContentElement(editor);
    if (!content)
        throw EBrowserScriptError(QStringLiteral("The element is not a site editor"));
    return content.InnerHTML();
}
