#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <memory>

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
};

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

    static const QString User;
    static const QString Password;

private:
    QByteArray Call(const QString& method, const QString& path, const QByteArray& body = {}) const;
    std::unique_ptr<QProcess> FProcess;
    int FPort = 0;
};
