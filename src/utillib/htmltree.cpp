#include "utillib/htmltree.h"

#include <QHash>
#include <QSet>

// --- nodes ------------------------------------------------------------------

std::unique_ptr<THtmlNode> THtmlNode::NewElement(const QString& tag)
{
    auto node = std::make_unique<THtmlNode>();
    node->FKind = nkElement;
    node->FTag = tag;
    return node;
}

std::unique_ptr<THtmlNode> THtmlNode::NewText(const QString& text)
{
    auto node = std::make_unique<THtmlNode>();
    node->FKind = nkText;
    node->FText = text;
    return node;
}

bool THtmlNode::HasAttribute(const QString& name) const
{
    for (const auto& a : FAttributes)
        if (a.first == name)
            return true;
    return false;
}

QString THtmlNode::Attribute(const QString& name) const
{
    for (const auto& a : FAttributes)
        if (a.first == name)
            return a.second;
    return {};
}

void THtmlNode::SetAttribute(const QString& name, const QString& value)
{
    for (auto& a : FAttributes)
        if (a.first == name) {
            a.second = value;
            return;
        }
    FAttributes.append({name, value});
}

void THtmlNode::RemoveAttribute(const QString& name)
{
    for (int i = 0; i < FAttributes.size(); ++i)
        if (FAttributes[i].first == name) {
            FAttributes.removeAt(i);
            return;
        }
}

THtmlNode* THtmlNode::Append(std::unique_ptr<THtmlNode> child)
{
    return Insert(FChildren.size(), std::move(child));
}

THtmlNode* THtmlNode::Insert(size_t index, std::unique_ptr<THtmlNode> child)
{
    child->FParent = this;
    THtmlNode* raw = child.get();
    FChildren.insert(FChildren.begin() + std::min(index, FChildren.size()), std::move(child));
    return raw;
}

std::unique_ptr<THtmlNode> THtmlNode::Take(size_t index)
{
    std::unique_ptr<THtmlNode> child = std::move(FChildren[index]);
    FChildren.erase(FChildren.begin() + index);
    child->FParent = nullptr;
    return child;
}

size_t THtmlNode::IndexOf(const THtmlNode* child) const
{
    for (size_t i = 0; i < FChildren.size(); ++i)
        if (FChildren[i].get() == child)
            return i;
    return FChildren.size();
}

THtmlNode* THtmlNode::Find(const QString& tag)
{
    for (auto& c : FChildren) {
        if (c->Is(tag))
            return c.get();
        if (THtmlNode* below = c->Find(tag))
            return below;
    }
    return nullptr;
}

std::vector<THtmlNode*> THtmlNode::FindAll(const QString& tag)
{
    std::vector<THtmlNode*> out;
    std::vector<THtmlNode*> stack{this};
    // Depth first, children in order.
    while (!stack.empty()) {
        THtmlNode* n = stack.back();
        stack.pop_back();
        if (n != this && n->Is(tag))
            out.push_back(n);
        for (auto it = n->FChildren.rbegin(); it != n->FChildren.rend(); ++it)
            stack.push_back(it->get());
    }
    return out;
}

QString THtmlNode::InnerText() const
{
    if (FKind == nkText)
        return FText;
    QString text;
    for (const auto& c : FChildren)
        text += c->InnerText();
    return text;
}

// --- character classes ------------------------------------------------------

bool THtmlTree::IsVoidElement(const QString& tag)
{
    static const QSet<QString> voids{"area", "base", "br", "col", "embed", "hr", "img", "input", "link",
                                     "meta", "param", "source", "track", "wbr", "basefont", "frame", "keygen"};
    return voids.contains(tag);
}

bool THtmlTree::IsBlockElement(const QString& tag)
{
    static const QSet<QString> blocks{"p", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "li", "dl", "dt",
                                      "dd", "table", "caption", "colgroup", "col", "thead", "tbody", "tfoot",
                                      "tr", "td", "th", "div", "blockquote", "pre", "hr", "center", "address",
                                      "body", "html", "head", "section", "article", "header", "footer", "nav",
                                      "aside", "figure", "figcaption", "form", "fieldset"};
    return blocks.contains(tag);
}

QString THtmlTree::EscapeText(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case 0xA0: out += QLatin1String("&nbsp;"); break;
        default: out += c;
        }
    }
    return out;
}

QString THtmlTree::EscapeAttribute(const QString& value)
{
    QString out;
    out.reserve(value.size() + 8);
    for (QChar c : value) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case 0xA0: out += QLatin1String("&nbsp;"); break;
        default: out += c;
        }
    }
    return out;
}

QString THtmlTree::DecodeEntities(const QString& text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QHash<QString, char32_t> named{
        {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
        {"nbsp", 0xA0},    {"shy", 0xAD},     {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122},
        {"hellip", 0x2026}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019},
        {"sbquo", 0x201A}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"bull", 0x2022},
        {"euro", 0x20AC},  {"laquo", 0xAB},   {"raquo", 0xBB},   {"deg", 0xB0},     {"middot", 0xB7},
        {"times", 0xD7},   {"divide", 0xF7},  {"para", 0xB6},    {"sect", 0xA7},    {"plusmn", 0xB1},
        {"micro", 0xB5},   {"frac12", 0xBD},  {"frac14", 0xBC},  {"frac34", 0xBE},  {"sup2", 0xB2},
        {"sup3", 0xB3},    {"iexcl", 0xA1},   {"iquest", 0xBF},  {"cent", 0xA2},    {"pound", 0xA3},
        {"yen", 0xA5},     {"ensp", 0x2002},  {"emsp", 0x2003},  {"thinsp", 0x2009}, {"zwnj", 0x200C},
        {"zwj", 0x200D},   {"lrm", 0x200E},   {"rlm", 0x200F}};
    QString out;
    out.reserve(text.size());
    const int n = int(text.size());
    for (int i = 0; i < n;) {
        if (text[i] != QLatin1Char('&')) {
            out += text[i++];
            continue;
        }
        const int semi = int(text.indexOf(QLatin1Char(';'), i + 1));
        if (semi < 0 || semi - i > 12) {
            out += text[i++];
            continue;
        }
        const QString name = text.mid(i + 1, semi - i - 1);
        char32_t code = 0;
        bool ok = false;
        if (name.startsWith(QLatin1Char('#'))) {
            if (name.size() > 1 && (name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X')))
                code = name.mid(2).toUInt(&ok, 16);
            else
                code = name.mid(1).toUInt(&ok, 10);
            // No NUL, surrogate halves or values beyond Unicode.
            if (ok && (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF))
                code = 0xFFFD;
        } else {
            const auto it = named.constFind(name);
            ok = it != named.constEnd();
            if (ok)
                code = it.value();
        }
        if (!ok) {
            out += text[i++];
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semi + 1;
    }
    return out;
}

// --- reading ----------------------------------------------------------------

namespace {

bool IsSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
        || c == QLatin1Char('\f');
}

bool IsRawText(const QString& tag)
{
    return tag == QLatin1String("script") || tag == QLatin1String("style") || tag == QLatin1String("textarea")
        || tag == QLatin1String("title") || tag == QLatin1String("xmp") || tag == QLatin1String("noscript");
}

bool IsHeadElement(const QString& tag)
{
    return tag == QLatin1String("meta") || tag == QLatin1String("title") || tag == QLatin1String("style")
        || tag == QLatin1String("link") || tag == QLatin1String("base");
}

// Builds the tree from the start tags, end tags and texts of the reader.
class TTreeBuilder {
public:
    TTreeBuilder()
    {
        FRoot = THtmlNode::NewElement(QStringLiteral("#root"));
        FHtml = FRoot->Append(THtmlNode::NewElement(QStringLiteral("html")));
        FHead = FHtml->Append(THtmlNode::NewElement(QStringLiteral("head")));
        FBody = FHtml->Append(THtmlNode::NewElement(QStringLiteral("body")));
        FStack.push_back(FHead);
    }

    std::unique_ptr<THtmlNode> Finish() { return std::move(FRoot); }

    void Text(const QString& text)
    {
        if (text.isEmpty())
            return;
        THtmlNode* at = Current();
        if (at == FHead) {
            // Only whitespace belongs to the head; anything else starts the body.
            bool blank = true;
            for (QChar c : text)
                blank = blank && IsSpace(c);
            if (blank)
                return;
            EnterBody();
            at = Current();
        }
        if (!at->Children().empty() && at->Children().back()->IsText()) {
            THtmlNode* last = at->Children().back().get();
            last->SetText(last->Text() + text);
        } else {
            at->Append(THtmlNode::NewText(text));
        }
    }

    void Start(const QString& tag, const QList<QPair<QString, QString>>& attributes, bool selfClosing)
    {
        if (tag == QLatin1String("html")) {
            MergeAttributes(FHtml, attributes);
            return;
        }
        if (tag == QLatin1String("head"))
            return;
        if (tag == QLatin1String("body")) {
            EnterBody();
            MergeAttributes(FBody, attributes);
            return;
        }
        if (Current() == FHead && !IsHeadElement(tag))
            EnterBody();
        ImplyEnds(tag);
        auto node = THtmlNode::NewElement(tag);
        for (const auto& a : attributes)
            if (!node->HasAttribute(a.first))
                node->SetAttribute(a.first, a.second);
        THtmlNode* raw = Current()->Append(std::move(node));
        if (!THtmlTree::IsVoidElement(tag) && !selfClosing)
            FStack.push_back(raw);
    }

    void End(const QString& tag)
    {
        if (tag == QLatin1String("html") || tag == QLatin1String("body") || tag == QLatin1String("head")) {
            if (tag == QLatin1String("head") && Current() == FHead)
                EnterBody();
            return;
        }
        // The nearest open element of that name, not beyond a table or list
        // boundary the end tag cannot belong across.
        for (size_t i = FStack.size(); i-- > 1;) {
            THtmlNode* n = FStack[i];
            if (n->Tag() == tag) {
                FStack.resize(i);
                return;
            }
            if (IsScopeBoundary(n->Tag()) && !IsScopeBoundary(tag))
                return;
        }
    }

private:
    THtmlNode* Current() const { return FStack.back(); }

    void EnterBody()
    {
        if (FStack.size() == 1 && FStack[0] == FHead)
            FStack[0] = FBody;
    }

    static void MergeAttributes(THtmlNode* node, const QList<QPair<QString, QString>>& attributes)
    {
        for (const auto& a : attributes)
            if (!node->HasAttribute(a.first))
                node->SetAttribute(a.first, a.second);
    }

    static bool IsScopeBoundary(const QString& tag)
    {
        return tag == QLatin1String("table") || tag == QLatin1String("td") || tag == QLatin1String("th")
            || tag == QLatin1String("caption");
    }

    // Index of the nearest open element with one of the tags, searching no
    // further than an element with one of the stop tags; 0 when none.
    size_t OpenIndex(std::initializer_list<const char*> tags, std::initializer_list<const char*> stops) const
    {
        for (size_t i = FStack.size(); i-- > 1;) {
            const QString& t = FStack[i]->Tag();
            for (const char* want : tags)
                if (t == QLatin1String(want))
                    return i;
            for (const char* stop : stops)
                if (t == QLatin1String(stop))
                    return 0;
        }
        return 0;
    }

    void CloseFrom(size_t index)
    {
        if (index > 0)
            FStack.resize(index);
    }

    // The end tags a word processor leaves out, implied by the next start tag.
    void ImplyEnds(const QString& tag)
    {
        if (THtmlTree::IsBlockElement(tag) && tag != QLatin1String("li") && tag != QLatin1String("td")
            && tag != QLatin1String("th") && tag != QLatin1String("tr"))
            CloseFrom(OpenIndex({"p"}, {"table", "td", "th", "li", "div", "blockquote", "dd", "caption"}));
        if (tag == QLatin1String("li")) {
            CloseFrom(OpenIndex({"li"}, {"ul", "ol", "table"}));
        } else if (tag == QLatin1String("dt") || tag == QLatin1String("dd")) {
            CloseFrom(OpenIndex({"dt", "dd"}, {"dl", "table"}));
        } else if (tag == QLatin1String("td") || tag == QLatin1String("th")) {
            CloseFrom(OpenIndex({"td", "th"}, {"tr", "table"}));
        } else if (tag == QLatin1String("tr")) {
            CloseFrom(OpenIndex({"tr"}, {"table"}));
        } else if (tag == QLatin1String("thead") || tag == QLatin1String("tbody") || tag == QLatin1String("tfoot")) {
            CloseFrom(OpenIndex({"thead", "tbody", "tfoot"}, {"table"}));
        } else if (tag == QLatin1String("p")) {
            CloseFrom(OpenIndex({"p"}, {"table", "td", "th", "li", "div", "blockquote"}));
        }
    }

    std::unique_ptr<THtmlNode> FRoot;
    THtmlNode* FHtml = nullptr;
    THtmlNode* FHead = nullptr;
    THtmlNode* FBody = nullptr;
    std::vector<THtmlNode*> FStack;
};

bool IsNameChar(QChar c)
{
    return !IsSpace(c) && c != QLatin1Char('>') && c != QLatin1Char('/') && c != QLatin1Char('=')
        && c != QLatin1Char('<') && c != QLatin1Char('"') && c != QLatin1Char('\'');
}

} // namespace

std::unique_ptr<THtmlNode> THtmlTree::Parse(const QString& html)
{
    TTreeBuilder builder;
    const int n = int(html.size());
    int i = 0;
    QString text;
    auto flushText = [&] {
        if (!text.isEmpty())
            builder.Text(DecodeEntities(text));
        text.clear();
    };
    while (i < n) {
        const QChar c = html[i];
        if (c != QLatin1Char('<') || i + 1 >= n) {
            text += c;
            ++i;
            continue;
        }
        const QChar next = html[i + 1];
        if (next == QLatin1Char('!')) {
            flushText();
            if (html.mid(i, 4) == QLatin1String("<!--")) {
                const int end = int(html.indexOf(QLatin1String("-->"), i + 4));
                i = end < 0 ? n : end + 3;
            } else {
                const int end = int(html.indexOf(QLatin1Char('>'), i + 2));
                i = end < 0 ? n : end + 1;
            }
            continue;
        }
        if (next == QLatin1Char('?')) {
            flushText();
            const int end = int(html.indexOf(QLatin1Char('>'), i + 2));
            i = end < 0 ? n : end + 1;
            continue;
        }
        const bool closing = next == QLatin1Char('/');
        int j = i + (closing ? 2 : 1);
        if (j >= n || !html[j].isLetter()) {
            // Not a tag: a lone "<" in text.
            text += c;
            ++i;
            continue;
        }
        flushText();
        int nameStart = j;
        while (j < n && IsNameChar(html[j]))
            ++j;
        const QString tag = html.mid(nameStart, j - nameStart).toLower();
        QList<QPair<QString, QString>> attributes;
        bool selfClosing = false;
        // Attributes up to the closing ">".
        while (j < n && html[j] != QLatin1Char('>')) {
            if (IsSpace(html[j])) {
                ++j;
                continue;
            }
            if (html[j] == QLatin1Char('/')) {
                selfClosing = j + 1 < n && html[j + 1] == QLatin1Char('>');
                ++j;
                continue;
            }
            int a = j;
            while (j < n && IsNameChar(html[j]))
                ++j;
            if (j == a) {
                ++j; // a stray quote or "<"
                continue;
            }
            const QString name = html.mid(a, j - a).toLower();
            while (j < n && IsSpace(html[j]))
                ++j;
            QString value;
            if (j < n && html[j] == QLatin1Char('=')) {
                ++j;
                while (j < n && IsSpace(html[j]))
                    ++j;
                if (j < n && (html[j] == QLatin1Char('"') || html[j] == QLatin1Char('\''))) {
                    const QChar quote = html[j];
                    const int end = int(html.indexOf(quote, j + 1));
                    const int stop = end < 0 ? n : end;
                    value = html.mid(j + 1, stop - j - 1);
                    j = end < 0 ? n : end + 1;
                } else {
                    int v = j;
                    while (j < n && !IsSpace(html[j]) && html[j] != QLatin1Char('>'))
                        ++j;
                    value = html.mid(v, j - v);
                }
            }
            if (!closing)
                attributes.append({name, DecodeEntities(value)});
        }
        i = j < n ? j + 1 : n;
        if (closing) {
            builder.End(tag);
            continue;
        }
        builder.Start(tag, attributes, selfClosing);
        if (IsRawText(tag) && !selfClosing) {
            // Everything up to the matching end tag is text of the element.
            int end = i;
            while (true) {
                end = int(html.indexOf(QLatin1String("</"), end, Qt::CaseInsensitive));
                if (end < 0 || html.mid(end + 2, tag.size()).compare(tag, Qt::CaseInsensitive) == 0)
                    break;
                end += 2;
            }
            const int stop = end < 0 ? n : end;
            const QString raw = html.mid(i, stop - i);
            builder.Text(tag == QLatin1String("title") || tag == QLatin1String("textarea") ? DecodeEntities(raw) : raw);
            builder.End(tag);
            if (end < 0) {
                i = n;
            } else {
                const int close = int(html.indexOf(QLatin1Char('>'), end));
                i = close < 0 ? n : close + 1;
            }
        }
    }
    flushText();
    return builder.Finish();
}

// --- writing ----------------------------------------------------------------

namespace {

bool IsBlockContainer(const THtmlNode& node)
{
    static const QSet<QString> containers{"#root", "html", "head", "body", "div", "blockquote", "ul", "ol", "dl",
                                          "table", "thead", "tbody", "tfoot", "tr", "colgroup", "li", "td", "th"};
    return node.IsElement() && containers.contains(node.Tag());
}

void Write(const THtmlNode& node, QString& out, bool pretty);

void WriteChildren(const THtmlNode& node, QString& out, bool pretty)
{
    const bool container = pretty && IsBlockContainer(node);
    bool first = true;
    for (const auto& c : node.Children()) {
        if (container && c->IsElement() && THtmlTree::IsBlockElement(c->Tag())
            && !(first && (node.Is(QStringLiteral("li")) || node.Is(QStringLiteral("td"))
                           || node.Is(QStringLiteral("th")))))
            out += QLatin1Char('\n');
        Write(*c, out, pretty);
        first = false;
    }
    if (container && !node.Children().empty() && node.Children().back()->IsElement()
        && THtmlTree::IsBlockElement(node.Children().back()->Tag()))
        out += QLatin1Char('\n');
}

void Write(const THtmlNode& node, QString& out, bool pretty)
{
    if (node.IsText()) {
        const THtmlNode* parent = node.Parent();
        const bool raw = parent && (parent->Is(QStringLiteral("script")) || parent->Is(QStringLiteral("style")));
        out += raw ? node.Text() : THtmlTree::EscapeText(node.Text());
        return;
    }
    if (node.Tag() == QLatin1String("#root")) {
        WriteChildren(node, out, pretty);
        return;
    }
    out += QLatin1Char('<') + node.Tag();
    for (const auto& a : node.Attributes())
        out += QLatin1Char(' ') + a.first + QStringLiteral("=\"") + THtmlTree::EscapeAttribute(a.second)
            + QLatin1Char('"');
    out += QLatin1Char('>');
    if (THtmlTree::IsVoidElement(node.Tag()))
        return;
    WriteChildren(node, out, pretty);
    out += QStringLiteral("</") + node.Tag() + QLatin1Char('>');
}

} // namespace

QString THtmlTree::InnerHtml(const THtmlNode& node, bool pretty)
{
    QString out;
    WriteChildren(node, out, pretty);
    return out;
}

QString THtmlTree::OuterHtml(const THtmlNode& node, bool pretty)
{
    QString out;
    Write(node, out, pretty);
    return out;
}
