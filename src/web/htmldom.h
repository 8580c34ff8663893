#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>

class TEmbeddedWB;
class THtmlDocument;

// A handle on a node of the page shown in a browser control. The node itself
// stays in the page; every operation runs a small script there and waits for
// its answer, raising EBrowserScriptError with the page's error text when it
// fails (for example after the page was left). A default handle is "none".
class THtmlNode {
public:
    THtmlNode() = default;
    explicit operator bool() const { return FHandle != 0 && !FBrowser.isNull(); }
    bool IsAssigned() const { return bool(*this); }
    // Node identity within its page: equal handles are the same node.
    int Handle() const { return FHandle; }
    bool SameObject(const THtmlNode& other) const
    {
        return FHandle == other.FHandle && FToken == other.FToken && FBrowser == other.FBrowser;
    }
    TEmbeddedWB* Browser() const { return FBrowser.data(); }

    // Builds a handle from what a DOM script answered ({h, t} or null).
    static THtmlNode FromScript(TEmbeddedWB* browser, const QVariant& value);

    // Runs body with n bound to this node (d and a as TEmbeddedWB::DomCall
    // gives them; args start at a[2]) and answers what it returns: for
    // questions that would otherwise take several round trips.
    QVariant Evaluate(const QString& body, const QVariantList& args = {}) const { return Call(body, args); }

protected:
    QVariant Call(const QString& body, const QVariantList& args = {}) const;

    QPointer<TEmbeddedWB> FBrowser;
    int FHandle = 0;
    QString FToken; // the page document the handle belongs to
};

class THtmlElement : public THtmlNode {
public:
    THtmlElement() = default;
    explicit THtmlElement(const THtmlNode& node) : THtmlNode(node) {}

    QString Id() const;
    QString TagName() const;
    QString ClassName() const;
    THtmlElement ParentElement() const;
    THtmlDocument Document() const;
    QString InnerText() const;
    QString InnerHTML() const;
    void SetInnerHTML(const QString& html) const;
    QString OuterHTML() const;
    QString StyleDisplay() const;
    void SetStyleDisplay(const QString& value) const;
    QString GetAttribute(const QString& name) const;
    void SetAttribute(const QString& name, const QString& value) const;
    void AppendChild(const THtmlElement& child) const;
    // A frame element's shown document (contentWindow.document).
    THtmlDocument ContentDocument() const;
    // A string property of the element as the engine reports it ("" when absent).
    QString StringProperty(const QString& name) const;
    int GetElementsByTagNameLength(const QString& tagName) const;
};

class THtmlDocument : public THtmlNode {
public:
    THtmlDocument() = default;
    explicit THtmlDocument(const THtmlNode& node) : THtmlNode(node) {}

    THtmlElement Body() const;
    THtmlElement DocumentElement() const;
    QString Title() const;
    bool ExecCommand(const QString& command) const;
    THtmlElement CreateElement(const QString& tagName) const;
    THtmlElement GetElementById(const QString& id) const;
    int GetElementsByTagNameLength(const QString& tagName) const;
};
