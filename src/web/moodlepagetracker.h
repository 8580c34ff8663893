#pragma once

#include "web/htmldom.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QWebEnginePage;
class TEmbeddedWB;

// What a browser frame does with a Moodle page: it defines the helper
// functions in every page, follows the element that has the focus, and tells
// when focus enters one of the site's HTML editors (any family that
// TMoodleEditors knows: a TinyMCE frame or an Atto editable div). Attach one to the frame's browser control; it
// works only while Active (the frame's Moodle mode).
class TMoodlePageTracker : public QObject {
    Q_OBJECT
public:
    // browser: not owned; the tracker is a child of it unless parent is given.
    explicit TMoodlePageTracker(TEmbeddedWB* browser, QObject* parent = nullptr);
    ~TMoodlePageTracker() override;
    Q_DISABLE_COPY_MOVE(TMoodlePageTracker)

    bool Active() const { return FActive; }
    void SetActive(bool value);
    // The object the focus events name as their sender (the frame); the
    // tracker itself unless set.
    QObject* EventSender() const { return FEventSender ? FEventSender.data() : const_cast<TMoodlePageTracker*>(this); }
    void SetEventSender(QObject* sender) { FEventSender = sender; }

    // The element that last received the focus; none after each navigation start.
    THtmlElement CurrElement() const { return FCurrElement; }
    // CurrElement when active and it is the site's HTML editor, else none.
    THtmlElement CurrMoodleWyswigEditor() const;

    // The element is the focus element of a site editor of a known family.
    static bool IsMoodleWyswigEditor(const THtmlElement& element);

    // The helper functions each Moodle page gets, in the order they are defined.
    static QStringList PageHelperScripts();

    // One focus-in of the connected document; new element may be none.
    void DocumentFocusIn(const THtmlElement& newElement);

Q_SIGNALS:
    void OnElementFocus(QObject* sender, const THtmlElement& element);
    void OnWyswigEditorFocus(QObject* sender, const THtmlElement& element);

private:
    void BeforeNavigate();
    void DownloadComplete();
    void DoElementFocus(const THtmlElement& element);
    void InstallPageHelperScripts(bool install);

    QPointer<TEmbeddedWB> FBrowser;
    QPointer<QWebEnginePage> FPage; // the browser's; may go first when both are destroyed
    QPointer<QObject> FEventSender;
    THtmlElement FCurrElement;
    bool FActive = false;
    bool FSinkConnected = false;
};
