#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <memory>

class TMoodleSysConfig;

// One request as the local Moodle-like site received it.
struct TSiteRequest {
    QString Method;
    QString Path;
    QList<QPair<QString, QString>> Headers;
    QByteArray Body;

    QString Header(const QString& name) const;
    // The value of a text field of a multipart body; HasField tells absence.
    bool HasField(const QString& name) const;
    QString Field(const QString& name) const;
    // Field names of a multipart body, in body order (file parts included).
    QStringList FieldNames() const;
    // The value of a field of a URL-encoded form body (a browser's form post).
    QString FormField(const QString& name) const;
};

// How the course page's summary editor looks in one editor family of the
// site (its "editor" switch), as the tests drive it.
struct TEditorPageCase {
    QString Switch;      // "legacy", "tiny", "atto"
    QString FocusId;     // the id of the element that takes the focus
    QString ReadyScript; // true once the page's editor shows its text
    QString ContentExpr; // the element that holds the content
    QString FocusScript; // moves the focus into the editor
    // The content as the site would save it: through the editor's own
    // interface (tinymce.get(id).getContent() for TinyMCE 6/7).
    QString ApiContentExpr;
};
// The three families, legacy first.
const QList<TEditorPageCase>& EditorPageCases();

// Starts tests/moodlesite/moodlesite.py on a free port of 127.0.0.1 and stops
// it when destroyed. The site records every request it gets.
class TMoodleSite {
public:
    explicit TMoodleSite(const QStringList& extraArgs = {});
    ~TMoodleSite();

    bool IsRunning() const { return FPort > 0; }
    int Port() const { return FPort; }
    QString RootUrl() const; // http://127.0.0.1:<port>
    QString Url(const QString& path) const { return RootUrl() + path; }

    QList<TSiteRequest> Requests() const;
    QList<TSiteRequest> RequestsTo(const QString& pathPrefix) const;
    void ResetRequests();
    // Merges the object into the site's switches (see moodlesite.py).
    void Configure(const QJsonObject& switches);
    // A site preset's settings for this site with the test account.
    std::unique_ptr<TMoodleSysConfig> NewSiteConfig() const;

    static const QString User;
    static const QString Password;

private:
    QByteArray Call(const QString& method, const QString& path, const QByteArray& body = {}) const;
    std::unique_ptr<QProcess> FProcess;
    int FPort = 0;
};
