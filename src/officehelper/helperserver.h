#pragma once

#include "officeprotocol.h"

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

class QLocalServer;
class QLocalSocket;
class THelperDocument;
namespace lok {
class Office;
}

// Serves the program's requests (officeprotocol.h) over one local socket
// connection: the first one whose first request is a hello with the token the
// program gave the helper at start. Any other connection is answered with a
// refusal and closed, and never keeps the program from connecting. Requests run one after another on the main thread; while one
// waits for LibreOffice (a UNO command result) the socket keeps filling the
// queue but nothing else runs, so no request ever sees another half done.
class THelperServer : public QObject {
    Q_OBJECT
public:
    THelperServer(lok::Office& office, int initMs, QByteArray token, QObject* parent = nullptr);
    ~THelperServer() override;

    bool Listen(const QString& name);
    // The LibreOfficeKit callback; runs on LibreOffice's thread, so it only
    // hands the payload over to the main thread and returns.
    static void LokCallback(int type, const char* payload, void* data);

private:
    struct TCallbackSink {
        THelperServer* server;
        int docId;
    };

    // A connection that has not yet shown the token.
    struct TCandidate {
        QLocalSocket* socket;
        office_protocol::TFrameReader reader;
    };

    void OnNewConnection();
    void OnCandidateReadyRead(QLocalSocket* socket);
    void DropCandidate(QLocalSocket* socket, const QString& why, int replyTo);
    bool TokenMatches(const QString& token) const;
    void OnReadyRead();
    void ProcessQueue();
    void OnCallback(int docId, int type, const QByteArray& payload);
    void FlushEvents();
    void WriteRecoveryCopies();
    void Shutdown();

    void Handle(const office_protocol::TFrame& request);
    QJsonObject Run(const QString& op, const QJsonObject& args, const QByteArray& payload, QByteArray& replyPayload);
    THelperDocument& Document(const QJsonObject& args);
    void OpenDocument(int id, const QString& url, const QString& options, const QString& recovery);
    // Posts a UNO command; with wait, blocks (pumping events) until its
    // result arrived. Retries while the document's frame is not yet current,
    // which is the case for a short while after loading.
    bool Uno(THelperDocument& doc, const QString& command, const QByteArray& args = {}, bool wait = true);
    // Every input posted before it has been handled when this returns.
    void Barrier(THelperDocument& doc);
    void SaveAs(THelperDocument& doc, const QString& path, const QString& format, const QString& options);
    void SaveRecovery(THelperDocument& doc);
    QString PlainText(THelperDocument& doc);
    void ScheduleRecovery();
    QString TakeError();
    void Send(const QJsonObject& header, const QByteArray& payload = {});

    lok::Office& m_office;
    int m_initMs;
    QByteArray m_token;
    QLocalServer* m_server = nullptr;
    std::vector<std::unique_ptr<TCandidate>> m_candidates;
    QLocalSocket* m_socket = nullptr;
    office_protocol::TFrameReader m_reader;
    std::vector<office_protocol::TFrame> m_queue;
    bool m_busy = false;
    bool m_quitting = false;
    std::map<int, std::unique_ptr<THelperDocument>> m_docs;
    // Sinks live as long as the server: LibreOffice may still hold the
    // pointer of a closed document's callback for a moment.
    std::vector<std::unique_ptr<TCallbackSink>> m_sinks;
    QTimer m_flushTimer;
    QTimer m_recoveryTimer;
    qint64 m_callbacksIn = 0;
    qint64 m_eventsOut = 0;
    int m_textSerial = 0;
};
