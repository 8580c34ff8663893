#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <vector>

// A small HTML tree of our own, enough for the pages the word processor
// exports and for cleaning them without a web engine: elements, text and
// nothing else (comments, doctypes and processing instructions are dropped
// while reading). Tag and attribute names are lower case; texts hold decoded
// characters (no entities).
class THtmlNode {
public:
    enum TKind { nkElement, nkText };

    static std::unique_ptr<THtmlNode> NewElement(const QString& tag);
    static std::unique_ptr<THtmlNode> NewText(const QString& text);

    TKind Kind() const { return FKind; }
    bool IsElement() const { return FKind == nkElement; }
    bool IsText() const { return FKind == nkText; }
    bool Is(const QString& tag) const { return FKind == nkElement && FTag == tag; }
    const QString& Tag() const { return FTag; }
    void SetTag(const QString& tag) { FTag = tag; }
    const QString& Text() const { return FText; }
    void SetText(const QString& text) { FText = text; }

    // Attributes in the order they were written; a name occurs once.
    const QList<QPair<QString, QString>>& Attributes() const { return FAttributes; }
    bool HasAttribute(const QString& name) const;
    QString Attribute(const QString& name) const;
    void SetAttribute(const QString& name, const QString& value);
    void RemoveAttribute(const QString& name);

    THtmlNode* Parent() const { return FParent; }
    const std::vector<std::unique_ptr<THtmlNode>>& Children() const { return FChildren; }
    THtmlNode* Append(std::unique_ptr<THtmlNode> child);
    THtmlNode* Insert(size_t index, std::unique_ptr<THtmlNode> child);
    std::unique_ptr<THtmlNode> Take(size_t index);
    size_t IndexOf(const THtmlNode* child) const;
    // The first element below this one with the tag (depth first), or null.
    THtmlNode* Find(const QString& tag);
    // Every element below this one with the tag, in document order.
    std::vector<THtmlNode*> FindAll(const QString& tag);
    // The text of this node and every node below it.
    QString InnerText() const;

private:
    TKind FKind = nkElement;
    QString FTag;
    QString FText;
    QList<QPair<QString, QString>> FAttributes;
    THtmlNode* FParent = nullptr;
    std::vector<std::unique_ptr<THtmlNode>> FChildren;
};

class THtmlTree {
public:
    // Reads HTML the way a browser would for the markup a word processor
    // writes: end tags that are left out (li, p, td, tr, ...) are implied,
    // stray end tags are ignored, script and style contents are read as raw
    // text. The result is a root element (tag "#root") holding an html
    // element with head and body.
    static std::unique_ptr<THtmlNode> Parse(const QString& html);
    // HTML text of the node's children (inner) or of the node with them
    // (outer); void elements get no end tag. Block elements in block
    // containers start on a line of their own when pretty is set.
    static QString InnerHtml(const THtmlNode& node, bool pretty = false);
    static QString OuterHtml(const THtmlNode& node, bool pretty = false);

    static bool IsVoidElement(const QString& tag);
    // Elements that make a block of their own (paragraphs, headings, lists,
    // tables and their parts, divisions).
    static bool IsBlockElement(const QString& tag);
    static QString EscapeText(const QString& text);
    static QString EscapeAttribute(const QString& value);
    static QString DecodeEntities(const QString& text);
};
