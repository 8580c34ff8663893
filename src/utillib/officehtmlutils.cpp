#include "utillib/officehtmlutils.h"

#include "utillib/exceptions.h"
#include "utillib/htmltree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <cmath>
#include <pugixml.hpp>

namespace {

using TNodePtr = std::unique_ptr<THtmlNode>;

struct TDecl {
    QString Prop;
    QString Value;
};

// Declarations of a style attribute; ";" inside quotes or parentheses does
// not end one.
QList<TDecl> ParseStyle(const QString& style)
{
    QList<TDecl> out;
    QString part;
    QChar quote;
    int depth = 0;
    auto flush = [&] {
        const int colon = int(part.indexOf(QLatin1Char(':')));
        if (colon > 0) {
            const QString prop = part.left(colon).trimmed().toLower();
            const QString value = part.mid(colon + 1).trimmed();
            if (!prop.isEmpty() && !value.isEmpty())
                out.append({prop, value});
        }
        part.clear();
    };
    for (QChar c : style) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            depth = std::max(0, depth - 1);
        } else if (c == QLatin1Char(';') && depth == 0) {
            flush();
            continue;
        }
        part += c;
    }
    flush();
    return out;
}

QString JoinStyle(const QList<TDecl>& decls)
{
    QStringList parts;
    for (const TDecl& d : decls)
        parts << d.Prop + QStringLiteral(": ") + d.Value;
    return parts.join(QStringLiteral("; "));
}

void SetDecl(QList<TDecl>& decls, const QString& prop, const QString& value)
{
    for (TDecl& d : decls)
        if (d.Prop == prop) {
            d.Value = value;
            return;
        }
    decls.append({prop, value});
}

bool HasDecl(const QList<TDecl>& decls, const QString& prop)
{
    for (const TDecl& d : decls)
        if (d.Prop == prop)
            return true;
    return false;
}

// A value that could only come from a script or an outside resource has no
// place in a style we keep.
bool IsPlainValue(const QString& value)
{
    static const QRegularExpression bad(QStringLiteral("url\\s*\\(|expression\\s*\\(|javascript:|[\\\\<>{}]"),
                                        QRegularExpression::CaseInsensitiveOption);
    return !bad.match(value).hasMatch();
}

bool IsColour(const QString& value)
{
    static const QRegularExpression colour(
        QStringLiteral("^(#[0-9a-f]{3,8}|rgba?\\([0-9.,%\\s]+\\)|[a-z]+)$"), QRegularExpression::CaseInsensitiveOption);
    const QString v = value.trimmed().toLower();
    return colour.match(v).hasMatch() && v != QLatin1String("transparent") && v != QLatin1String("inherit")
        && v != QLatin1String("initial") && v != QLatin1String("auto") && v != QLatin1String("none");
}

// The colour of a "background" shorthand, when it is only a colour.
QString BackgroundColour(const QString& value)
{
    const QString v = value.trimmed();
    return IsColour(v) ? v : QString();
}

// Points of a CSS length (pt, px, in, cm, mm), or -1.
double LengthPt(const QString& value)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([0-9]*\\.?[0-9]+)\\s*(pt|px|in|cm|mm)\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(value);
    if (!m.hasMatch())
        return -1;
    const double v = m.captured(1).toDouble();
    const QString unit = m.captured(2).toLower();
    if (unit == QLatin1String("pt"))
        return v;
    if (unit == QLatin1String("px"))
        return v * 0.75;
    if (unit == QLatin1String("in"))
        return v * 72;
    if (unit == QLatin1String("cm"))
        return v * 72 / 2.54;
    return v * 72 / 25.4;
}

// A border declaration with lengths in pixels (the export writes inches).
QString BorderValue(const QString& value)
{
    const QString v = value.trimmed();
    if (v.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0 || v == QLatin1String("0"))
        return {};
    QStringList out;
    for (const QString& part : v.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const double pt = LengthPt(part);
        if (pt >= 0 && !part.endsWith(QLatin1String("px"), Qt::CaseInsensitive)
            && !part.endsWith(QLatin1String("pt"), Qt::CaseInsensitive))
            out << QStringLiteral("%1px").arg(std::max(1, int(pt / 0.75 + 0.5)));
        else
            out << part;
    }
    return out.join(QLatin1Char(' '));
}

QString CollapseSpaces(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool space = false;
    for (QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
            || c == QLatin1Char('\f')) {
            if (!space)
                out += QLatin1Char(' ');
            space = true;
        } else {
            out += c;
            space = false;
        }
    }
    return out;
}

bool IsBlank(const QString& text)
{
    for (QChar c : text)
        if (!(c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
              || c == QLatin1Char('\f')))
            return false;
    return true;
}

// An address a link may keep: the web, mail, or one inside the page.
bool IsSafeHref(const QString& href)
{
    const QString h = href.trimmed();
    if (h.isEmpty())
        return false;
    static const QRegularExpression scheme(QStringLiteral("^([a-z][a-z0-9+.-]*):"), QRegularExpression::CaseInsensitiveOption);
    // Control characters and spaces inside a scheme hide it from simple checks.
    QString compact;
    for (QChar c : h)
        if (c.unicode() > 32)
            compact += c;
    const auto m = scheme.match(compact);
    if (!m.hasMatch())
        return true;
    const QString s = m.captured(1).toLower();
    return s == QLatin1String("http") || s == QLatin1String("https") || s == QLatin1String("mailto")
        || s == QLatin1String("ftp") || s == QLatin1String("tel");
}

// A picture file written beside the page: a relative address that stays in
// the page's folder.
bool IsBesideThePage(const QString& src)
{
    if (src.isEmpty() || src.startsWith(QLatin1Char('/')) || src.startsWith(QLatin1Char('\\'))
        || src.contains(QLatin1Char(':')) || src.startsWith(QLatin1Char('#')) || src.contains(QLatin1Char('?')))
        return false;
    const QString decoded = QUrl::fromPercentEncoding(src.toUtf8());
    if (decoded.contains(QLatin1Char(':')) || decoded.contains(QLatin1Char('\\')))
        return false;
    for (const QString& seg : decoded.split(QLatin1Char('/')))
        if (seg == QLatin1String(".."))
            return false;
    return true;
}

bool IsPictureSrc(const QString& src)
{
    const QString s = src.trimmed();
    if (s.isEmpty())
        return false;
    if (IsBesideThePage(s))
        return true;
    static const QRegularExpression scheme(QStringLiteral("^([a-z][a-z0-9+.-]*):"), QRegularExpression::CaseInsensitiveOption);
    const auto m = scheme.match(s);
    if (!m.hasMatch())
        return !s.startsWith(QLatin1String("//"));
    const QString sc = m.captured(1).toLower();
    if (sc == QLatin1String("data"))
        return s.startsWith(QLatin1String("data:image/"), Qt::CaseInsensitive)
            && !s.startsWith(QLatin1String("data:image/svg"), Qt::CaseInsensitive);
    return sc == QLatin1String("http") || sc == QLatin1String("https") || sc == QLatin1String("file");
}

bool IsDigits(const QString& s)
{
    if (s.isEmpty() || s.size() > 6)
        return false;
    for (QChar c : s)
        if (!c.isDigit())
            return false;
    return true;
}

const QSet<QString>& DroppedWithContent()
{
    static const QSet<QString> tags{"script", "style", "head", "title", "meta", "link", "object", "embed", "iframe",
                                    "frame", "frameset", "noscript", "template", "applet", "input", "button",
                                    "select", "textarea", "option", "optgroup", "svg", "math", "base", "noembed",
                                    "noframes", "col", "colgroup", "map", "area", "audio", "video", "canvas",
                                    "param", "source", "track", "portal", "dialog", "xml"};
    return tags;
}

// Inline elements kept under their editor names.
QString InlineTag(const QString& tag)
{
    static const QHash<QString, QString> map{{"b", "strong"},  {"strong", "strong"}, {"i", "em"},     {"em", "em"},
                                             {"u", "u"},       {"ins", "u"},         {"s", "s"},      {"strike", "s"},
                                             {"del", "s"},     {"sub", "sub"},       {"sup", "sup"},  {"code", "code"},
                                             {"tt", "code"},   {"kbd", "kbd"},       {"samp", "code"}};
    return map.value(tag);
}

const QSet<QString>& KeptBlocks()
{
    static const QSet<QString> tags{"p",  "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol",    "li",
                                    "dl", "dt", "dd", "table", "caption", "thead", "tbody", "tfoot", "tr",
                                    "td", "th", "blockquote", "pre", "hr", "br"};
    return tags;
}

bool IsTextBlock(const QString& tag)
{
    static const QSet<QString> tags{"p",  "h1", "h2", "h3", "h4", "h5", "h6", "li", "dt",
                                    "dd", "td", "th", "caption", "div", "blockquote", "pre", "body"};
    return tags.contains(tag);
}

bool IsFormatting(const QString& tag)
{
    static const QSet<QString> tags{"span", "strong", "em", "u", "s", "sub", "sup", "code", "kbd", "a"};
    return tags.contains(tag);
}

class TCleaner {
public:
    TCleaner(const TOfficeDocFacts& facts, TOfficeHtmlCleanResult& result, const QSet<QString>& taken)
        : FFacts(facts), FResult(result), FUsed(taken)
    {
    }

    TNodePtr Clean(THtmlNode& root)
    {
        // Anchors are kept only where a link of the page points to them.
        for (THtmlNode* a : root.FindAll(QStringLiteral("a"))) {
            const QString href = a->Attribute(QStringLiteral("href"));
            if (href.startsWith(QLatin1Char('#')) && href.size() > 1)
                FAnchors.insert(href.mid(1));
        }
        auto body = THtmlNode::NewElement(QStringLiteral("body"));
        if (THtmlNode* in = root.Find(QStringLiteral("body"))) {
            if (in->Attribute(QStringLiteral("dir")).compare(QLatin1String("rtl"), Qt::CaseInsensitive) == 0)
                body->SetAttribute(QStringLiteral("dir"), QStringLiteral("rtl"));
            CleanChildren(*in, *body, false, false);
        }
        Tidy(*body, false);
        return body;
    }

private:
    void CleanChildren(const THtmlNode& in, THtmlNode& out, bool pre, bool inHead)
    {
        for (const auto& c : in.Children())
            CleanNode(*c, out, pre, inHead);
    }

    void AppendText(THtmlNode& out, const QString& text)
    {
        if (text.isEmpty())
            return;
        if (!out.Children().empty() && out.Children().back()->IsText()) {
            THtmlNode* last = out.Children().back().get();
            last->SetText(last->Text() + text);
        } else {
            out.Append(THtmlNode::NewText(text));
        }
    }

    QList<TDecl> TextStyle(const QList<TDecl>& decls)
    {
        QList<TDecl> out;
        for (const TDecl& d : decls) {
            if (!IsPlainValue(d.Value))
                continue;
            if (d.Prop == QLatin1String("color")) {
                if (IsColour(d.Value))
                    SetDecl(out, d.Prop, d.Value);
            } else if (d.Prop == QLatin1String("background") || d.Prop == QLatin1String("background-color")) {
                const QString c = BackgroundColour(d.Value);
                if (!c.isEmpty())
                    SetDecl(out, QStringLiteral("background-color"), c);
            } else if (d.Prop == QLatin1String("font-size")) {
                const double pt = LengthPt(d.Value);
                if (pt > 0 && (FFacts.DefaultFontSizePt <= 0 || std::abs(pt - FFacts.DefaultFontSizePt) > 0.05))
                    SetDecl(out, d.Prop, d.Value);
            } else if (d.Prop == QLatin1String("font-weight")) {
                const QString v = d.Value.toLower();
                if (v == QLatin1String("bold") || v == QLatin1String("bolder") || v.toInt() >= 600)
                    SetDecl(out, d.Prop, QStringLiteral("bold"));
            } else if (d.Prop == QLatin1String("font-style")) {
                if (d.Value.compare(QLatin1String("italic"), Qt::CaseInsensitive) == 0)
                    SetDecl(out, d.Prop, QStringLiteral("italic"));
            } else if (d.Prop == QLatin1String("text-decoration")) {
                const QString v = d.Value.toLower();
                if (v.contains(QLatin1String("underline")) || v.contains(QLatin1String("line-through")))
                    SetDecl(out, d.Prop, v);
            }
        }
        return out;
    }

    QList<TDecl> BlockStyle(const THtmlNode& in, bool cell)
    {
        const QList<TDecl> decls = ParseStyle(in.Attribute(QStringLiteral("style")));
        QList<TDecl> out = TextStyle(decls);
        // The export writes the alignment as an attribute, sometimes as a style.
        QString align = in.Attribute(QStringLiteral("align")).toLower();
        for (const TDecl& d : decls)
            if (d.Prop == QLatin1String("text-align"))
                align = d.Value.toLower();
        if (align == QLatin1String("center") || align == QLatin1String("right") || align == QLatin1String("justify"))
            SetDecl(out, QStringLiteral("text-align"), align);
        if (cell) {
            const QString bg = in.Attribute(QStringLiteral("bgcolor"));
            if (IsColour(bg) && !HasDecl(out, QStringLiteral("background-color")))
                SetDecl(out, QStringLiteral("background-color"), bg);
            for (const TDecl& d : decls) {
                if (!d.Prop.startsWith(QLatin1String("border")) || !IsPlainValue(d.Value))
                    continue;
                static const QSet<QString> sides{"border", "border-top", "border-right", "border-bottom", "border-left"};
                if (!sides.contains(d.Prop))
                    continue;
                const QString v = BorderValue(d.Value);
                if (!v.isEmpty()) {
                    SetDecl(out, d.Prop, v);
                    FBorders = true;
                }
            }
        }
        return out;
    }

    static void SetStyle(THtmlNode& node, const QList<TDecl>& decls)
    {
        if (!decls.isEmpty())
            node.SetAttribute(QStringLiteral("style"), JoinStyle(decls));
    }

    void CopyDir(const THtmlNode& in, THtmlNode& out)
    {
        if (in.Attribute(QStringLiteral("dir")).compare(QLatin1String("rtl"), Qt::CaseInsensitive) == 0)
            out.SetAttribute(QStringLiteral("dir"), QStringLiteral("rtl"));
    }

    void CleanNode(const THtmlNode& in, THtmlNode& out, bool pre, bool inHead)
    {
        if (in.IsText()) {
            AppendText(out, pre ? in.Text() : CollapseSpaces(in.Text()));
            return;
        }
        const QString& tag = in.Tag();
        if (DroppedWithContent().contains(tag))
            return;
        if (tag == QLatin1String("img")) {
            CleanPicture(in, out);
            return;
        }
        if (tag == QLatin1String("a")) {
            CleanLink(in, out, pre, inHead);
            return;
        }
        if (tag == QLatin1String("span") || tag == QLatin1String("font")) {
            QList<TDecl> decls = ParseStyle(in.Attribute(QStringLiteral("style")));
            if (tag == QLatin1String("font")) {
                const QString colour = in.Attribute(QStringLiteral("color"));
                if (IsColour(colour) && !HasDecl(decls, QStringLiteral("color")))
                    decls.append({QStringLiteral("color"), colour});
                static const char* sizes[] = {"8pt", "10pt", "12pt", "14pt", "18pt", "24pt", "36pt"};
                const int size = in.Attribute(QStringLiteral("size")).toInt();
                if (size >= 1 && size <= 7 && !HasDecl(decls, QStringLiteral("font-size")))
                    decls.append({QStringLiteral("font-size"), QLatin1String(sizes[size - 1])});
            }
            const QList<TDecl> style = TextStyle(decls);
            if (style.isEmpty()) {
                CleanChildren(in, out, pre, inHead);
                return;
            }
            THtmlNode* span = out.Append(THtmlNode::NewElement(QStringLiteral("span")));
            SetStyle(*span, style);
            CleanChildren(in, *span, pre, inHead);
            return;
        }
        const QString inlineTag = InlineTag(tag);
        if (!inlineTag.isEmpty()) {
            THtmlNode* e = out.Append(THtmlNode::NewElement(inlineTag));
            CleanChildren(in, *e, pre, inHead);
            return;
        }
        if (tag == QLatin1String("center")) {
            THtmlNode* e = out.Append(THtmlNode::NewElement(QStringLiteral("div")));
            e->SetAttribute(QStringLiteral("style"), QStringLiteral("text-align: center"));
            CleanChildren(in, *e, pre, inHead);
            return;
        }
        if (tag == QLatin1String("div")) {
            // The export's divisions (sections, footnote areas, positioned
            // frames) carry nothing an editor shows; a division with an
            // alignment of its own keeps it.
            const QList<TDecl> style = BlockStyle(in, false);
            if (HasDecl(style, QStringLiteral("text-align")) || in.HasAttribute(QStringLiteral("dir"))) {
                THtmlNode* e = out.Append(THtmlNode::NewElement(QStringLiteral("div")));
                CopyDir(in, *e);
                SetStyle(*e, style);
                CleanChildren(in, *e, pre, inHead);
            } else {
                CleanChildren(in, out, pre, inHead);
            }
            return;
        }
        if (!KeptBlocks().contains(tag)) {
            // Unknown or word-processor elements (fields, sections): their
            // content stays, the element goes.
            CleanChildren(in, out, pre, inHead);
            return;
        }

        const bool cell = tag == QLatin1String("td") || tag == QLatin1String("th");
        QString outTag = tag;
        if (tag == QLatin1String("td") && inHead)
            outTag = QStringLiteral("th");
        THtmlNode* e = out.Append(THtmlNode::NewElement(outTag));
        if (tag == QLatin1String("br") || tag == QLatin1String("hr"))
            return;
        if (tag == QLatin1String("ol")) {
            const QString start = in.Attribute(QStringLiteral("start"));
            if (IsDigits(start) && start.toInt() != 1)
                e->SetAttribute(QStringLiteral("start"), QString::number(start.toInt()));
            const QString type = in.Attribute(QStringLiteral("type"));
            if (type == QLatin1String("a") || type == QLatin1String("A") || type == QLatin1String("i")
                || type == QLatin1String("I"))
                e->SetAttribute(QStringLiteral("type"), type);
            if (in.HasAttribute(QStringLiteral("reversed")))
                e->SetAttribute(QStringLiteral("reversed"), QStringLiteral("reversed"));
        } else if (tag == QLatin1String("li")) {
            const QString value = in.Attribute(QStringLiteral("value"));
            if (IsDigits(value))
                e->SetAttribute(QStringLiteral("value"), QString::number(value.toInt()));
        } else if (cell) {
            for (const char* span : {"colspan", "rowspan"}) {
                const QString v = in.Attribute(QLatin1String(span));
                if (IsDigits(v) && v.toInt() > 1)
                    e->SetAttribute(QLatin1String(span), QString::number(v.toInt()));
            }
            if (outTag == QLatin1String("th") && inHead)
                e->SetAttribute(QStringLiteral("scope"), QStringLiteral("col"));
        } else if (tag == QLatin1String("table")) {
            const QString width = in.Attribute(QStringLiteral("width"));
            if (width.endsWith(QLatin1Char('%')) && IsDigits(width.chopped(1)))
                e->SetAttribute(QStringLiteral("style"), QStringLiteral("width: ") + width);
            const bool before = FBorders;
            FBorders = false;
            CleanChildren(in, *e, pre, false);
            if (FBorders) {
                QList<TDecl> style = ParseStyle(e->Attribute(QStringLiteral("style")));
                SetDecl(style, QStringLiteral("border-collapse"), QStringLiteral("collapse"));
                SetStyle(*e, style);
            }
            FBorders = before || FBorders;
            return;
        }
        if (tag != QLatin1String("ul") && tag != QLatin1String("ol") && tag != QLatin1String("dl")
            && tag != QLatin1String("tr") && tag != QLatin1String("thead") && tag != QLatin1String("tbody")
            && tag != QLatin1String("tfoot")) {
            CopyDir(in, *e);
            SetStyle(*e, BlockStyle(in, cell));
        }
        CleanChildren(in, *e, pre || tag == QLatin1String("pre"), inHead || tag == QLatin1String("thead"));
    }

    void CleanLink(const THtmlNode& in, THtmlNode& out, bool pre, bool inHead)
    {
        const QString href = in.Attribute(QStringLiteral("href")).trimmed();
        QString id = in.Attribute(QStringLiteral("name"));
        if (id.isEmpty())
            id = in.Attribute(QStringLiteral("id"));
        const bool keepHref = IsSafeHref(href);
        const bool keepId = !id.isEmpty() && FAnchors.contains(id);
        if (!keepHref && !keepId) {
            CleanChildren(in, out, pre, inHead);
            return;
        }
        THtmlNode* a = out.Append(THtmlNode::NewElement(QStringLiteral("a")));
        if (keepHref)
            a->SetAttribute(QStringLiteral("href"), href);
        if (keepId)
            a->SetAttribute(QStringLiteral("id"), id);
        const QString title = in.Attribute(QStringLiteral("title"));
        if (!title.isEmpty())
            a->SetAttribute(QStringLiteral("title"), title);
        CleanChildren(in, *a, pre, inHead);
    }

    void CleanPicture(const THtmlNode& in, THtmlNode& out)
    {
        const QString src = in.Attribute(QStringLiteral("src")).trimmed();
        if (!IsPictureSrc(src))
            return;
        const int index = ++FPictureIndex;
        const QString name = in.Attribute(QStringLiteral("name")).trimmed();

        // The document's own description (or title) of the picture; the
        // export's alt is the title only.
        QString alt = in.Attribute(QStringLiteral("alt"));
        const int nth = FNameUse[name]++;
        int seen = 0;
        for (const TDocPicture& p : FFacts.Pictures) {
            if (p.Name != name)
                continue;
            if (seen++ == nth) {
                alt = !p.Description.trimmed().isEmpty() ? p.Description : !p.Title.trimmed().isEmpty() ? p.Title : alt;
                break;
            }
        }
        alt = CollapseSpaces(alt).trimmed();

        TCleanedPicture picture;
        picture.OriginalSrc = src;
        picture.Src = src;
        picture.Name = name;
        picture.Alt = alt;
        if (IsBesideThePage(src)) {
            // One file of the export is one picture on the site, however many
            // times the document shows it: the first use names it.
            const QString& key = src;
            QString file = FFileNameOf.value(key);
            if (file.isEmpty()) {
                const QString decoded = QUrl::fromPercentEncoding(src.toUtf8());
                file = TOfficeHtmlUtil::PictureFileName(name, QFileInfo(decoded).suffix(), index, FUsed);
                FFileNameOf.insert(key, file);
            }
            picture.Src = file;
        }
        FResult.Pictures.append(picture);
        if (alt.isEmpty())
            ++FResult.PicturesWithoutAlt;

        THtmlNode* img = out.Append(THtmlNode::NewElement(QStringLiteral("img")));
        img->SetAttribute(QStringLiteral("src"), picture.Src);
        img->SetAttribute(QStringLiteral("alt"), alt);
        for (const char* dim : {"width", "height"}) {
            const QString v = in.Attribute(QLatin1String(dim));
            if (IsDigits(v) || (v.endsWith(QLatin1Char('%')) && IsDigits(v.chopped(1))))
                img->SetAttribute(QLatin1String(dim), v);
        }
        // The old alignment attributes become styles: left and right wrap the
        // text around the picture, with its spacing as margins.
        QList<TDecl> style;
        const QString align = in.Attribute(QStringLiteral("align")).toLower();
        const int hspace = IsDigits(in.Attribute(QStringLiteral("hspace"))) ? in.Attribute(QStringLiteral("hspace")).toInt() : 0;
        const int vspace = IsDigits(in.Attribute(QStringLiteral("vspace"))) ? in.Attribute(QStringLiteral("vspace")).toInt() : 0;
        for (const TDecl& d : ParseStyle(in.Attribute(QStringLiteral("style"))))
            if (d.Prop == QLatin1String("float") && IsPlainValue(d.Value))
                SetDecl(style, d.Prop, d.Value.toLower());
        if (align == QLatin1String("left") || align == QLatin1String("right"))
            SetDecl(style, QStringLiteral("float"), align);
        else if (align == QLatin1String("top") || align == QLatin1String("middle") || align == QLatin1String("absmiddle"))
            SetDecl(style, QStringLiteral("vertical-align"), align == QLatin1String("top") ? align : QStringLiteral("middle"));
        if (HasDecl(style, QStringLiteral("float")))
            SetDecl(style, QStringLiteral("margin"), QStringLiteral("%1px %2px").arg(vspace).arg(hspace));
        const int border = in.Attribute(QStringLiteral("border")).toInt();
        if (border > 0 && border < 100)
            SetDecl(style, QStringLiteral("border"), QStringLiteral("%1px solid").arg(border));
        SetStyle(*img, style);
    }

    // After cleaning: a lone paragraph in a list item or table cell becomes
    // the item's own text, whitespace the export put between blocks goes,
    // and formatting left empty goes.
    void Tidy(THtmlNode& node, bool pre)
    {
        for (size_t i = 0; i < node.Children().size(); ++i) {
            THtmlNode* c = node.Children()[i].get();
            if (c->IsElement())
                Tidy(*c, pre || c->Is(QStringLiteral("pre")));
        }
        if (node.Is(QStringLiteral("li")) || node.Is(QStringLiteral("td")) || node.Is(QStringLiteral("th")))
            UnwrapLoneParagraph(node);
        if (!pre)
            TrimWhitespace(node);
        for (size_t i = node.Children().size(); i-- > 0;) {
            THtmlNode* c = node.Children()[i].get();
            if ((c->IsText() && c->Text().isEmpty())
                || (c->IsElement() && IsFormatting(c->Tag()) && c->Children().empty() && !c->HasAttribute(QStringLiteral("id"))))
                node.Take(i);
        }
    }

    // An item that holds a list below its text keeps its paragraph: the
    // word processor reads text directly before a nested list as an item of
    // its own, so the way back into the document would split the list.
    static void UnwrapLoneParagraph(THtmlNode& node)
    {
        THtmlNode* para = nullptr;
        for (const auto& c : node.Children()) {
            if (c->IsText()) {
                if (!IsBlank(c->Text()))
                    return;
            } else if (c->Is(QStringLiteral("p"))) {
                if (para)
                    return;
                para = c.get();
            } else {
                return;
            }
        }
        if (!para)
            return;
        QList<TDecl> style = ParseStyle(node.Attribute(QStringLiteral("style")));
        for (const TDecl& d : ParseStyle(para->Attribute(QStringLiteral("style"))))
            if (!HasDecl(style, d.Prop))
                style.append(d);
        SetStyle(node, style);
        if (para->HasAttribute(QStringLiteral("dir")) && !node.HasAttribute(QStringLiteral("dir")))
            node.SetAttribute(QStringLiteral("dir"), para->Attribute(QStringLiteral("dir")));
        const size_t at = node.IndexOf(para);
        TNodePtr p = node.Take(at);
        size_t k = at;
        while (!p->Children().empty())
            node.Insert(k++, p->Take(0));
    }

    static bool IsBreak(const THtmlNode& n)
    {
        return n.IsElement() && (THtmlTree::IsBlockElement(n.Tag()) || n.Is(QStringLiteral("br")));
    }

    // The first (or last) text leaf of an inline run starting at node.
    static THtmlNode* EdgeText(THtmlNode& node, bool first)
    {
        if (node.IsText())
            return &node;
        if (!IsFormatting(node.Tag()))
            return nullptr;
        const auto& kids = node.Children();
        if (kids.empty())
            return nullptr;
        return EdgeText(first ? *kids.front() : *kids.back(), first);
    }

    static void TrimWhitespace(THtmlNode& node)
    {
        const auto& kids = node.Children();
        const bool container = !IsTextBlock(node.Tag()) || node.Is(QStringLiteral("li"))
            || node.Is(QStringLiteral("td")) || node.Is(QStringLiteral("th")) || node.Is(QStringLiteral("body"))
            || node.Is(QStringLiteral("div")) || node.Is(QStringLiteral("blockquote"));
        if (!IsTextBlock(node.Tag()) && !container)
            return;
        for (size_t i = 0; i < kids.size(); ++i) {
            const bool startOfRun = i == 0 || IsBreak(*kids[i - 1]);
            const bool endOfRun = i + 1 == kids.size() || IsBreak(*kids[i + 1]);
            THtmlNode& c = *kids[i];
            if (IsBreak(c))
                continue;
            if (startOfRun)
                if (THtmlNode* t = EdgeText(c, true)) {
                    QString s = t->Text();
                    while (!s.isEmpty() && s.front() == QLatin1Char(' '))
                        s.remove(0, 1);
                    t->SetText(s);
                }
            if (endOfRun)
                if (THtmlNode* t = EdgeText(c, false)) {
                    QString s = t->Text();
                    while (!s.isEmpty() && s.back() == QLatin1Char(' '))
                        s.chop(1);
                    t->SetText(s);
                }
            if (!IsTextBlock(node.Tag()) && c.IsText() && IsBlank(c.Text()))
                c.SetText(QString());
        }
    }

    const TOfficeDocFacts& FFacts;
    TOfficeHtmlCleanResult& FResult;
    QSet<QString> FUsed;
    QSet<QString> FAnchors;
    QHash<QString, int> FNameUse;
    QHash<QString, QString> FFileNameOf;
    int FPictureIndex = 0;
    bool FBorders = false;
};

double FontSizePt(const char* value)
{
    return LengthPt(QString::fromUtf8(value));
}

} // namespace

TOfficeHtmlCleanResult TOfficeHtmlUtil::CleanExportedHtml(const QString& html, const TOfficeDocFacts& facts,
                                                          const QSet<QString>& takenFileNames)
{
    TOfficeHtmlCleanResult result;
    const TNodePtr tree = THtmlTree::Parse(html);
    TCleaner cleaner(facts, result, takenFileNames);
    const TNodePtr body = cleaner.Clean(*tree);
    result.Html = QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title></title>\n</head>\n")
        + THtmlTree::OuterHtml(*body, true) + QStringLiteral("\n</html>\n");
    return result;
}

TOfficeDocFacts TOfficeHtmlUtil::ReadFlatOdfFacts(const QByteArray& flatOdf)
{
    TOfficeDocFacts facts;
    pugi::xml_document doc;
    if (flatOdf.isEmpty() || !doc.load_buffer(flatOdf.constData(), size_t(flatOdf.size())))
        return facts;
    for (const pugi::xpath_node& n : doc.select_nodes("//draw:frame[draw:image]")) {
        const pugi::xml_node frame = n.node();
        TDocPicture p;
        p.Name = QString::fromUtf8(frame.attribute("draw:name").value());
        p.Title = QString::fromUtf8(frame.child("svg:title").child_value());
        p.Description = QString::fromUtf8(frame.child("svg:desc").child_value());
        facts.Pictures.append(p);
    }
    const pugi::xpath_node def = doc.select_node(
        "//office:styles/style:default-style[@style:family='paragraph']/style:text-properties/@fo:font-size");
    if (def)
        facts.DefaultFontSizePt = FontSizePt(def.attribute().value());
    const pugi::xpath_node standard = doc.select_node(
        "//office:styles/style:style[@style:name='Standard']/style:text-properties/@fo:font-size");
    if (standard && FontSizePt(standard.attribute().value()) > 0)
        facts.DefaultFontSizePt = FontSizePt(standard.attribute().value());
    if (facts.DefaultFontSizePt < 0)
        facts.DefaultFontSizePt = 0;
    return facts;
}

QString TOfficeHtmlUtil::PictureFileName(const QString& name, const QString& suffix, int index, QSet<QString>& used)
{
    QString ext;
    for (QChar c : suffix.toLower())
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            ext += c;
    ext = ext.left(8);

    QString base = name.trimmed();
    // A name that is itself a file name (pictures named after the file they
    // came from) loses its picture extension.
    static const QRegularExpression pictureExt(QStringLiteral("\\.(png|jpe?g|gif|bmp|svg|webp|tiff?|wmf|emf)$"),
                                               QRegularExpression::CaseInsensitiveOption);
    base.remove(pictureExt);
    static const QRegularExpression generated(QStringLiteral("^(image|graphic|graphics|object|frame)\\s*[0-9]+$"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (generated.match(base).hasMatch())
        base.clear();
    QString safe;
    for (QChar c : base.normalized(QString::NormalizationForm_KD)) {
        if (c.category() == QChar::Mark_NonSpacing || c.category() == QChar::Mark_SpacingCombining
            || c.category() == QChar::Mark_Enclosing)
            continue;
        const ushort u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '.')
            safe += c;
        else if (!safe.endsWith(QLatin1Char('-')))
            safe += QLatin1Char('-');
    }
    // No leading dots (hidden files), no runs of dots, no dashes at the ends.
    static const QRegularExpression dots(QStringLiteral("\\.{2,}"));
    safe.replace(dots, QStringLiteral("."));
    while (!safe.isEmpty() && (safe.front() == QLatin1Char('-') || safe.front() == QLatin1Char('.')))
        safe.remove(0, 1);
    safe = safe.left(60);
    while (!safe.isEmpty() && (safe.back() == QLatin1Char('-') || safe.back() == QLatin1Char('.')))
        safe.chop(1);
    if (safe.isEmpty())
        safe = QStringLiteral("picture-%1").arg(index);

    const QString dotExt = ext.isEmpty() ? QString() : QLatin1Char('.') + ext;
    QString candidate = safe + dotExt;
    for (int n = 2; used.contains(candidate.toLower()); ++n)
        candidate = safe + QStringLiteral("-%1").arg(n) + dotExt;
    used.insert(candidate.toLower());
    return candidate;
}

TOfficeHtmlCleanResult TOfficeHtmlUtil::PrepareExportedPage(const QString& htmlFile, const QString& flatOdfFile)
{
    QFile page(htmlFile);
    if (!page.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot read %1").arg(htmlFile));
    const QString html = QString::fromUtf8(page.readAll());
    page.close();

    TOfficeDocFacts facts;
    QFile flat(flatOdfFile);
    if (!flatOdfFile.isEmpty() && flat.open(QIODevice::ReadOnly))
        facts = ReadFlatOdfFacts(flat.readAll());

    // A picture's name never takes the name of another file of the export.
    const QDir folder = QFileInfo(htmlFile).absoluteDir();
    QSet<QString> taken;
    for (const QString& f : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        taken.insert(f.toLower());

    TOfficeHtmlCleanResult result = CleanExportedHtml(html, facts, taken);
    QSet<QString> copied;
    for (const TCleanedPicture& p : std::as_const(result.Pictures)) {
        if (p.Src == p.OriginalSrc || copied.contains(p.Src))
            continue;
        copied.insert(p.Src);
        const QString from = folder.filePath(QUrl::fromPercentEncoding(p.OriginalSrc.toUtf8()));
        const QString to = folder.filePath(p.Src);
        // A missing export file stays missing: its upload fails and says so.
        if (QFileInfo(from).isFile())
            QFile::copy(from, to);
    }

    QSaveFile out(htmlFile);
    if (!out.open(QIODevice::WriteOnly) || out.write(result.Html.toUtf8()) < 0 || !out.commit())
        throw EInOutError(QStringLiteral("Cannot write %1").arg(htmlFile));
    return result;
}
