#include "web/htmldom.h"

#include "web/embeddedwb.h"

THtmlNode THtmlNode::FromScript(TEmbeddedWB* browser, const QVariant& value)
{
    THtmlNode node;
    const QVariantMap m = value.toMap();
    const int handle = m.value(QStringLiteral("h")).toInt();
    if (handle <= 0)
        return node;
    node.FBrowser = browser;
    node.FHandle = handle;
    node.FToken = m.value(QStringLiteral("t")).toString();
    return node;
}

QVariant THtmlNode::Call(const QString& body, const QVariantList& args) const
{
    if (!*this)
        throw EBrowserScriptError(QStringLiteral("Object required"));
    QVariantList all{FHandle, FToken};
    all.append(args);
    return FBrowser->DomCall(QStringLiteral("var n = d.node(a[0], a[1]); ") + body, all);
}

namespace {
QString Str(const QVariant& v) { return v.isValid() ? v.toString() : QString(); }
} // namespace

QString THtmlElement::Id() const { return Str(Call(QStringLiteral("return n.id;"))); }
QString THtmlElement::TagName() const { return Str(Call(QStringLiteral("return n.tagName;"))); }
QString THtmlElement::ClassName() const { return Str(Call(QStringLiteral("return n.className;"))); }

THtmlElement THtmlElement::ParentElement() const
{
    return THtmlElement(FromScript(FBrowser, Call(QStringLiteral("return d.reg(n.parentElement);"))));
}

THtmlDocument THtmlElement::Document() const
{
    return THtmlDocument(FromScript(FBrowser, Call(QStringLiteral("return d.reg(n.ownerDocument);"))));
}

QString THtmlElement::InnerText() const { return Str(Call(QStringLiteral("return n.innerText;"))); }
QString THtmlElement::InnerHTML() const { return Str(Call(QStringLiteral("return n.innerHTML;"))); }
void THtmlElement::SetInnerHTML(const QString& html) const { Call(QStringLiteral("n.innerHTML = a[2];"), {html}); }
QString THtmlElement::OuterHTML() const { return Str(Call(QStringLiteral("return n.outerHTML;"))); }
QString THtmlElement::StyleDisplay() const { return Str(Call(QStringLiteral("return n.style.display;"))); }
void THtmlElement::SetStyleDisplay(const QString& value) const { Call(QStringLiteral("n.style.display = a[2];"), {value}); }

QString THtmlElement::GetAttribute(const QString& name) const
{
    return Str(Call(QStringLiteral("var v = n.getAttribute(a[2]); return v === null ? undefined : v;"), {name}));
}

void THtmlElement::SetAttribute(const QString& name, const QString& value) const
{
    Call(QStringLiteral("n.setAttribute(a[2], a[3]);"), {name, value});
}

void THtmlElement::AppendChild(const THtmlElement& child) const
{
    if (!child)
        throw EBrowserScriptError(QStringLiteral("Object required"));
    Call(QStringLiteral("n.appendChild(d.node(a[2], a[3]));"), {child.FHandle, child.FToken});
}

THtmlDocument THtmlElement::ContentDocument() const
{
    return THtmlDocument(FromScript(FBrowser, Call(QStringLiteral(
        "if (!('contentWindow' in n)) throw new TypeError('The element is not a frame');"
        " return d.reg(n.contentWindow.document);"))));
}

QString THtmlElement::StringProperty(const QString& name) const
{
    return Str(Call(QStringLiteral("var v = n[a[2]]; return typeof v === 'string' ? v : '';"), {name}));
}

int THtmlElement::GetElementsByTagNameLength(const QString& tagName) const
{
    return Call(QStringLiteral("return n.getElementsByTagName(a[2]).length;"), {tagName}).toInt();
}

THtmlElement THtmlDocument::Body() const
{
    return THtmlElement(FromScript(FBrowser, Call(QStringLiteral("return d.reg(n.body);"))));
}

THtmlElement THtmlDocument::DocumentElement() const
{
    return THtmlElement(FromScript(FBrowser, Call(QStringLiteral("return d.reg(n.documentElement);"))));
}

QString THtmlDocument::Title() const { return Str(Call(QStringLiteral("return n.title;"))); }

bool THtmlDocument::ExecCommand(const QString& command) const
{
    return Call(QStringLiteral("return n.execCommand(a[2], false, null);"), {command}).toBool();
}

THtmlElement THtmlDocument::CreateElement(const QString& tagName) const
{
    return THtmlElement(FromScript(FBrowser, Call(QStringLiteral("return d.reg(n.createElement(a[2]));"), {tagName})));
}

THtmlElement THtmlDocument::GetElementById(const QString& id) const
{
    return THtmlElement(FromScript(FBrowser, Call(QStringLiteral("return d.reg(n.getElementById(a[2]));"), {id})));
}

int THtmlDocument::GetElementsByTagNameLength(const QString& tagName) const
{
    return Call(QStringLiteral("return n.getElementsByTagName(a[2]).length;"), {tagName}).toInt();
}
