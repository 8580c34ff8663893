#include "web/mshtmlutils.h"

#include "web/embeddedwb.h"

THtmlDocument TMsHtmlUtil::GetFrameDocument(const THtmlElement& frameElem)
{
    return frameElem.ContentDocument();
}

bool TMsHtmlUtil::IsDocumentEmpty(const THtmlDocument& doc)
{
    const THtmlElement body = doc.Body();
    if (!body)
        throw EBrowserScriptError(QStringLiteral("The document has no body"));
    const QString text = body.InnerText();
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    if (last > first)
        return false;
    return !DoesDocumentHasExternalElems(doc);
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
    return DoesDocumentHasTags(doc, {QStringLiteral("img"), QStringLiteral("object")});
}

bool TMsHtmlUtil::SameElementId(const THtmlElement& a, const THtmlElement& b)
{
    if (!a || !b)
        return false;
    const QString idA = a.Id();
    return !idA.isEmpty() && idA == b.Id();
}
