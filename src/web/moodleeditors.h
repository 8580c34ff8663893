#pragma once

#include "web/htmldom.h"

#include <QString>

class TEmbeddedWB;

// The rich-text editor families a Moodle page can show in place of a form's
// textarea, told apart by the element that takes the focus:
// - legacy TinyMCE (3): an identified iframe in a cell of class
//   "mceIframeContainer"; picker options in M.editor_tinymce;
// - TinyMCE 6/7: an identified iframe whose parent has the class
//   "tox-edit-area"; everything through the page's tinymce.get(id);
// - Atto: a contenteditable div of class "editor_atto_content" whose id is
//   the textarea's id followed by "editable"; its options only in the
//   editor's init call of the page's footer script.
enum class TMoodleEditorFamily { None, LegacyTinyMCE, TinyMCE, Atto };

// What the content of a site editor holds, in the order of the automatic
// opening setting (each setting opens on its own kind and the ones before).
enum class TMoodleEditorContent { Empty = 0, Text = 1, Pictures = 2 };

// Reading and writing a site editor of any family, given the element that
// had the focus. Engine errors (the page went away) reach the caller.
class TMoodleEditors {
public:
    static TMoodleEditorFamily FamilyOf(const THtmlElement& element);
    // The family of the editor of the textarea id in the page browser shows.
    static TMoodleEditorFamily FamilyOfEditor(TEmbeddedWB* browser, const QString& editorId);
    // "TinyMCE 3", "TinyMCE 6/7", "Atto"; "no editor" for None.
    static QString FamilyName(TMoodleEditorFamily family);
    // A script function text answering the family number of a node (0 none,
    // then the enumeration's order); the same in every script world.
    static QString FamilyScript();

    // The element whose children are the content: the frame document's body,
    // or the Atto div itself. None when element is no editor.
    static THtmlElement ContentElement(const THtmlElement& editor);
    // A main-world script expression for that element.
    static QString ContentElementScript(const THtmlElement& editor);
    static TMoodleEditorContent ContentOf(const THtmlElement& editor);
    // Replaces the content so that the site's editor keeps it and saves it
    // with the form: through the TinyMCE instance, or the Atto div with its
    // textarea brought in step; the legacy editor's body is written as is.
    // Raises EBrowserScriptError when the page holds no such editor.
    static void SetContent(const THtmlElement& editor, const QString& html);
    // The content as the editor's own interface gives it (the TinyMCE
    // instance's getContent, else the content element's HTML).
    static QString Content(const THtmlElement& editor);
};
