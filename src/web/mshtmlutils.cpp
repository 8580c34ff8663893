#include "web/mshtmlutils.h"

#include "web/embeddedwb.h"

THtmlDocument TMsHtmlUtil::GetFrameDocument(const THtmlElement& frameElem)
{
    return frameElem.ContentDocument();
}

namespace {
const QStringList ExternalTags{QStringLiteral("img"), QStringLiteral("object")};

// Text counts when a character above 32 is left after trimming.
bool HasText(const THtmlElement& elem)
{
    const QString text = elem.InnerText();
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    return last > first;
}
} // namespace

bool TMsHtmlUtil::IsDocumentEmpty(const THtmlDocument& doc)
{
    const THtmlElement body = doc.Body();
    if (!body)
        throw EBrowserScriptError(QStringLiteral("The document has no body"));
    return !HasText(body) && !DoesDocumentHasExternalElems(doc);
}

bool TMsHtmlUtil::IsElementEmpty(const THtmlElement& elem)
{
    return !HasText(elem) && !DoesElementHaveExternalElems(elem);
}

bool TMsHtmlUtil::DoesElementHaveExternalElems(const THtmlElement& elem)
{
    for (const QString& tag : ExternalTags)
        if (elem.GetElementsByTagNameLength(tag) > 0)
            return true;
    return false;
}

bool TMsHtmlUtil::DoesDocumentHasTags(const THtmlDocument& doc, const QStringList& tags)
{
    for (const QString& tag : tags)
        if (doc.GetElementsByTagNameLength(tag) > 0)
            return true;
    return false;
}

bool TMsHtmlUtil::DoesDocumentHasExternalElems(const THtmlDocument& doc)
{
    return DoesDocumentHasTags(doc, ExternalTags);
}

bool TMsHtmlUtil::SameElementId(const THtmlElement& a, const THtmlElement& b)
{
    if (!a || !b)
        return false;
    const QString idA = a.Id();
    return !idA.isEmpty() && idA == b.Id();
}
