#pragma once

#include "officeprotocol.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QSize>
#include <QVector>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QLocalSocket;
class QTimer;

// The program's side of the word-processor helper (vantoli-office): starts it
// in the background, talks the protocol of officeprotocol.h, restarts it when
// it dies and takes the open documents back from their recovery copies.
//
// Calls are synchronous (Call) or asynchronous (CallAsync, Post). A
// synchronous call does not run the event loop while it waits: events and
// other replies that arrive meanwhile are delivered afterwards from the event
// loop, so no slot ever runs in the middle of a call.
class TOfficeClient : public QObject {
    Q_OBJECT
public:
    struct TReply {
        bool ok = false;
        QString error;
        QJsonObject header;
        QByteArray payload;
    };

    // workFolder holds the helper's LibreOffice profile, its TMPDIR and the
    // recovery copies. helperPath empty: vantoli-office beside this program.
    explicit TOfficeClient(QString workFolder, QString helperPath = {}, QObject* parent = nullptr);
    ~TOfficeClient() override;
    Q_DISABLE_COPY_MOVE(TOfficeClient)

    // Starts the helper and returns at once; Call waits for it when needed.
    void Start();
    // Blocks until the helper answers, or the time is up.
    bool WaitReady(int timeoutMs = 60000);
    bool IsReady() const { return m_socket != nullptr && m_connected; }

    // Throws EOfficeError with the helper's error text, or when the helper
    // stops or does not answer within timeoutMs (it is then restarted).
    TReply Call(const QString& op, QJsonObject args = {}, const QByteArray& payload = {}, int timeoutMs = 120000);
    // The reply is handed to done from the event loop; a failure (also a
    // helper that died) arrives as a reply with ok false. Like a connection,
    // done is dropped when context is destroyed before the reply arrives.
    void CallAsync(const QString& op, QJsonObject args, QObject* context, std::function<void(const TReply&)> done,
                   const QByteArray& payload = {});
    // No reply wanted (input events). Dropped while the helper is down.
    void Post(const QString& op, QJsonObject args);

    // Documents: the client chooses the ids and remembers enough of each
    // document to take it back after a restart.
    int NewDocument();
    int OpenDocument(const QString& path, bool readOnly = false);
    void CloseDocument(int doc);
    QString SourcePath(int doc) const;
    QSize DocumentSize(int doc) const;   // twips, as last reported

    int RestartCount() const { return m_restarts; }
    qint64 HelperPid() const;
    const QString& WorkFolder() const { return m_workFolder; }

Q_SIGNALS:
    void Ready();
    // A filtered LibreOffice event for one document (see officeprotocol.h).
    void DocumentEvent(int doc, const QString& name, const QJsonObject& event);
    // The helper stopped; a restart follows unless it keeps dying.
    void HelperStopped(const QString& reason);
    // After a restart: the document is open again under the same id, from its
    // recovery copy (fromCopy) or from its file / as a new empty document.
    void DocumentRecovered(int doc, bool fromCopy);
    // The helper cannot be (re)started; the word processor is unavailable.
    void HelperFailed(const QString& message);

private:
    struct TDocEntry {
        QString sourcePath;
        bool readOnly = false;
        QString recoveryPath;
        QString reopenPath;   // the copy a restarted helper reads from
        bool hasCopy = false;
        QSize size;
    };

    void StartProcess();
    // Tries to connect to the helper and, once connected, says hello with
    // the token; the helper is ready when the hello is answered.
    void TryConnect();
    void OnHelperOutput();
    void OnReadyRead();
    void OnHelperGone(const QString& reason);
    void Restart();
    void ReopenDocuments();
    void DispatchDeferred();
    void ScheduleDispatch();
    void HandleEvent(const office_protocol::TFrame& frame);
    TReply ToReply(const office_protocol::TFrame& frame) const;
    QString HelperProgram() const;
    QString RecoveryPathFor(int doc) const;
    void OpenInHelper(int doc, const TDocEntry& entry, const QString& path);

    QString m_workFolder;
    QString m_helperPath;
    QString m_serverName;
    std::unique_ptr<QProcess> m_process;
    QLocalSocket* m_socket = nullptr;
    bool m_connected = false;
    bool m_started = false;
    bool m_stopping = false;
    bool m_failed = false;
    int m_generation = 0;
    int m_restarts = 0;
    std::vector<qint64> m_deaths;
    QElapsedTimer m_clock;
    QByteArray m_stdout;
    // Given to each helper on its standard input; every connection shows it.
    QByteArray m_token;
    QTimer* m_connectTimer = nullptr;
    bool m_connecting = false;
    QByteArray m_stderrTail;
    office_protocol::TFrameReader m_reader;

    int m_nextRequest = 1;
    int m_waitingFor = 0;
    std::unique_ptr<office_protocol::TFrame> m_syncReply;
    struct TPending {
        QPointer<QObject> context;
        std::function<void(const TReply&)> done;
    };
    std::map<int, TPending> m_async;
    std::vector<office_protocol::TFrame> m_deferred;
    bool m_dispatchScheduled = false;

    int m_nextDoc = 1;
    std::map<int, TDocEntry> m_docs;
};
