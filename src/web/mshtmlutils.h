#pragma once

#include "web/htmldom.h"

#include <QStringList>

// Small questions about documents and elements of a page: whether a site
// editor's document is empty or holds pictures, whether two elements are the
// same editor, which document a frame element shows. Engine errors (an element
// that is not a frame, a document without a body) reach the caller.
class TMsHtmlUtil {
public:
    static THtmlDocument GetFrameDocument(const THtmlElement& frameElem);
    // Neither text (characters above 32) nor pictures or objects.
    static bool IsDocumentEmpty(const THtmlDocument& doc);
    static bool DoesDocumentHasTags(const THtmlDocument& doc, const QStringList& tags);
    // An "img" or an "object" element.
    static bool DoesDocumentHasExternalElems(const THtmlDocument& doc);
    // The same questions about the content of one element (an editor that
    // is not a document of its own).
    static bool IsElementEmpty(const THtmlElement& elem);
    static bool DoesElementHaveExternalElems(const THtmlElement& elem);
    // Both assigned and carrying the same non-empty id (case counts).
    static bool SameElementId(const THtmlElement& a, const THtmlElement& b);
};
