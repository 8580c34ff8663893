#pragma once

#include <QString>
#include <memory>

// The operations the word editor asks of its word processor. The logic above
// (submission, editor window) is written against these two interfaces only,
// so that it can be tested with a fake; TOfficeWordAutomation implements them
// over the LibreOffice helper.
//
// Every operation throws EOfficeError (officeerror.h) with the word
// processor's own message when it fails.

// One open document.
class IWordDocument {
public:
    virtual ~IWordDocument() = default;

    // Selects the whole main text, from its start to its end.
    virtual void SelectAll() = 0;
    // Act on the current selection through the system clipboard (QClipboard):
    // HTML, plain text and pictures, in both directions. HTML pasted arrives
    // formatted; its file:// pictures become part of the document.
    virtual void Cut() = 0;
    virtual void Copy() = 0;
    virtual void Paste() = 0;
    // Appends text after the content (the cursor moves to the end).
    virtual void InsertAfter(const QString& text) = 0;
    // Paragraphs counted as the word processor's plain text has lines (a
    // table cell counts as a paragraph); an empty document has one.
    virtual int ParagraphCount() = 0;
    // Removes paragraph index (1-based) with its paragraph mark; the last
    // paragraph keeps its mark, so deleting every paragraph empties the text.
    virtual void DeleteParagraph(int index) = 0;
    // Filtered HTML: pictures become separate files beside the page
    // (<name>_html_<hash>.<ext>) and the img elements refer to them relatively.
    virtual void SaveAsFilteredHtml(const QString& fileName) = 0;
    // format: "docx", "doc", "odt", "rtf", "html", "txt", "pdf";
    // options: LibreOffice filter options (for text: "UTF8,LF" and the like).
    virtual void SaveAs(const QString& fileName, const QString& format, const QString& options = {}) = 0;
    // The plain text, paragraphs separated by "\n" (reading it does not touch
    // the selection).
    virtual QString Text() = 0;
    // The file the document was opened from; empty for a new document.
    virtual QString FileName() const = 0;
    // Closes without saving; the object is unusable afterwards. Destroying an
    // open document closes it too.
    virtual void Close() = 0;
};

// The word processor itself.
class IWordAutomation {
public:
    virtual ~IWordAutomation() = default;

    // A new empty text document.
    virtual std::unique_ptr<IWordDocument> NewDocument() = 0;
    // A document from a file (.doc, .docx, .odt, .rtf, .html and whatever else
    // the word processor reads). Documents are hidden: they are shown only
    // where a view is attached to them.
    virtual std::unique_ptr<IWordDocument> OpenDocument(const QString& fileName, bool readOnly = false) = 0;
};
