#include "helperserver.h"
#include "helperdocument.h"

#ifndef LOK_USE_UNSTABLE_API
#define LOK_USE_UNSTABLE_API
#endif
#include <LibreOfficeKit/LibreOfficeKit.hxx>
#include <LibreOfficeKit/LibreOfficeKitEnums.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace {

// Raised by an operation; its text goes back to the program as the reply's error.
class THelperError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const QString& message)
{
    throw THelperError(message.toStdString());
}

constexpr int kFlushMs = 15;
constexpr int kHelloTimeoutMs = 10000;

// Many of Writer's shortcuts open a dialog (hyperlink, spelling, insert
// table, print, quit), and a dialog in a process without a display brings
// LibreOffice down. Only keys that edit or move in place get through.
bool IsSafeKey(int keyCode)
{
    constexpr int kShift = 0x1000, kMod1 = 0x2000, kMod2 = 0x4000, kMod3 = 0x8000;
    const int code = keyCode & 0x0fff;
    const bool ctrl = keyCode & kMod1;
    const bool alt = keyCode & (kMod2 | kMod3);
    const bool fkey = code >= 768 && code < 768 + 26;            // F1 ... F26
    const bool nav = (code >= 1024 && code <= 1031)               // arrows, Home, End, Page keys
        || code == 1280 || code == 1282 || code == 1283 || code == 1284 || code == 1286;  // Return Tab BS Space Del
    if (fkey)
        return false;
    if (alt && !ctrl)
        return false;                                            // menus
    if (!ctrl)
        return true;
    if (nav)
        return true;                                             // word moves, page break, word delete
    const char letter = code >= 512 && code < 512 + 26 ? char('A' + code - 512) : 0;
    const bool digit = code >= 256 && code < 266;
    if (digit && !(keyCode & kShift))
        return true;                                             // Ctrl+0..9: paragraph styles
    // Bold, italic, underline, double underline, align, select all, undo,
    // redo, clear formatting, superscript/subscript (with Shift), copy/cut/paste.
    static const char safe[] = "BIUDELRJAZYMPCXV";
    if (letter == 0 || std::strchr(safe, letter) == nullptr)
        return false;
    // With Shift only super- and subscript; Ctrl+Shift+V is paste special.
    if (keyCode & kShift)
        return letter == 'P' || letter == 'B';
    return letter != 'P';                                        // Ctrl+P prints
}
constexpr int kRecoveryPauseMs = 1500;

// The commands the program may send. Like the shortcuts above, a command that
// opens a dialog would bring LibreOffice down, and some only do without their
// arguments (a table or a picture without them asks the user first).
bool IsSafeCommand(const QString& command, const QByteArray& args)
{
    static const QStringList plain = {
        ".uno:Bold", ".uno:Italic", ".uno:Underline", ".uno:UnderlineDouble", ".uno:Strikeout",
        ".uno:SuperScript", ".uno:SubScript", ".uno:LeftPara", ".uno:CenterPara", ".uno:RightPara",
        ".uno:JustifyPara", ".uno:DefaultBullet", ".uno:DefaultNumbering", ".uno:IncrementIndent",
        ".uno:DecrementIndent", ".uno:Undo", ".uno:Redo", ".uno:SelectAll", ".uno:Delete", ".uno:SwBackspace",
        ".uno:Cut", ".uno:Copy", ".uno:Paste", ".uno:InsertPara", ".uno:InsertPagebreak", ".uno:ResetAttributes",
        ".uno:SetDefault", ".uno:TrackChanges"};
    static const QStringList withArgs = {
        ".uno:Color", ".uno:FontColor", ".uno:CharBackColor", ".uno:CharFontName", ".uno:FontHeight",
        ".uno:StyleApply", ".uno:InsertGraphic", ".uno:InsertTable", ".uno:InsertText"};
    if (plain.contains(command))
        return true;
    if (withArgs.contains(command))
        return !args.trimmed().isEmpty() && args.trimmed() != "{}";
    // Cursor moves and selection extensions (GoToEndOfDoc, GoLeft, CharRightSel ...).
    return command.startsWith(QLatin1String(".uno:Go")) || command.endsWith(QLatin1String("Sel"));
}
constexpr int kUnoTimeoutMs = 60000;

QByteArray TypedString(const char* name, const QString& value)
{
    QJsonObject arg{{"type", "string"}, {"value", value}};
    return QJsonDocument(QJsonObject{{QString::fromLatin1(name), arg}}).toJson(QJsonDocument::Compact);
}

QString FileUrl(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

} // namespace

THelperServer::THelperServer(lok::Office& office, int initMs, QByteArray token, QObject* parent)
    : QObject(parent), m_office(office), m_initMs(initMs), m_token(std::move(token))
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &THelperServer::FlushEvents);
    m_recoveryTimer.setSingleShot(true);
    m_recoveryTimer.setInterval(kRecoveryPauseMs);
    connect(&m_recoveryTimer, &QTimer::timeout, this, &THelperServer::WriteRecoveryCopies);
}

THelperServer::~THelperServer() = default;

bool THelperServer::Listen(const QString& name)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(name);
    if (!m_server->listen(name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, &THelperServer::OnNewConnection);
    return true;
}

void THelperServer::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // Nothing is served before the token is shown: another process of the
        // same user (the socket keeps other users out) must not drive the
        // word processor, which reads and writes the user's files.
        m_candidates.push_back(std::make_unique<TCandidate>(TCandidate{socket, {}}));
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnCandidateReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { DropCandidate(socket, {}, 0); });
        // A connection that never speaks is closed after a while.
        QTimer::singleShot(kHelloTimeoutMs, socket, [this, socket] {
            DropCandidate(socket, QStringLiteral("No hello in time"), 0);
        });
        OnCandidateReadyRead(socket);
    }
}

bool THelperServer::TokenMatches(const QString& token) const
{
    const QByteArray given = token.toLatin1();
    if (m_token.isEmpty() || given.size() != m_token.size())
        return false;
    // Compared in full whatever the first difference, so the time taken
    // tells nothing about the token.
    unsigned char diff = 0;
    for (qsizetype i = 0; i < given.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ m_token[i]);
    return diff == 0;
}

void THelperServer::DropCandidate(QLocalSocket* socket, const QString& why, int replyTo)
{
    auto it = std::find_if(m_candidates.begin(), m_candidates.end(),
                           [socket](const auto& c) { return c->socket == socket; });
    if (it == m_candidates.end())
        return;
    m_candidates.erase(it);
    socket->disconnect(this);
    if (!why.isEmpty() && socket->state() == QLocalSocket::ConnectedState) {
        socket->write(office_protocol::EncodeFrame(QJsonObject{{"re", replyTo}, {"ok", false}, {"error", why}}));
        socket->flush();
    }
    socket->disconnectFromServer();
    socket->deleteLater();
}

void THelperServer::OnCandidateReadyRead(QLocalSocket* socket)
{
    auto it = std::find_if(m_candidates.begin(), m_candidates.end(),
                           [socket](const auto& c) { return c->socket == socket; });
    if (it == m_candidates.end())
        return;
    TCandidate& c = **it;
    c.reader.Append(socket->readAll());
    std::optional<office_protocol::TFrame> first = c.reader.Next();
    if (!first) {
        if (c.reader.Broken())
            DropCandidate(socket, QStringLiteral("Damaged message"), 0);
        return;
    }
    const int id = first->header.value("id").toInt();
    if (first->header.value("op").toString() != QLatin1String("hello")
        || !TokenMatches(first->header.value("token").toString())) {
        DropCandidate(socket, QStringLiteral("Refused: this helper serves the program that started it only"), id);
        return;
    }
    if (m_socket || m_quitting) {
        DropCandidate(socket, QStringLiteral("Refused: the helper already serves its program"), id);
        return;
    }
    // The program: from here on its requests are served; what it sent after
    // the hello is already in the reader.
    office_protocol::TFrameReader reader = std::move(c.reader);
    m_candidates.erase(it);
    socket->disconnect(this);
    m_socket = socket;
    m_reader = std::move(reader);
    m_queue.push_back(std::move(*first));
    connect(m_socket, &QLocalSocket::readyRead, this, &THelperServer::OnReadyRead);
    connect(m_socket, &QLocalSocket::disconnected, this, &THelperServer::Shutdown);
    OnReadyRead();
}

void THelperServer::LokCallback(int type, const char* payload, void* data)
{
    auto* sink = static_cast<TCallbackSink*>(data);
    QByteArray copy(payload ? payload : "");
    THelperServer* server = sink->server;
    const int docId = sink->docId;
    QMetaObject::invokeMethod(
        server, [server, docId, type, copy] { server->OnCallback(docId, type, copy); }, Qt::QueuedConnection);
}

void THelperServer::OnCallback(int docId, int type, const QByteArray& payload)
{
    ++m_callbacksIn;
    auto it = m_docs.find(docId);
    if (it == m_docs.end())
        return;
    it->second->AddCallback(type, payload);
    if (it->second->HasPendingEvents() && !m_flushTimer.isActive())
        m_flushTimer.start();
}

void THelperServer::FlushEvents()
{
    if (!m_socket)
        return;
    for (auto& [id, doc] : m_docs)
        for (const QJsonObject& event : doc->TakeEvents()) {
            Send(event);
            ++m_eventsOut;
        }
}

void THelperServer::OnReadyRead()
{
    if (!m_socket)
        return;
    m_reader.Append(m_socket->readAll());
    while (auto frame = m_reader.Next())
        m_queue.push_back(std::move(*frame));
    if (m_reader.Broken()) {
        Shutdown();
        return;
    }
    if (!m_busy)
        QMetaObject::invokeMethod(this, &THelperServer::ProcessQueue, Qt::QueuedConnection);
}

void THelperServer::ProcessQueue()
{
    if (m_busy)
        return;
    m_busy = true;
    while (!m_queue.empty() && !m_quitting) {
        office_protocol::TFrame frame = std::move(m_queue.front());
        m_queue.erase(m_queue.begin());
        Handle(frame);
    }
    m_busy = false;
}

void THelperServer::Handle(const office_protocol::TFrame& request)
{
    const int id = request.header.value("id").toInt();
    const QString op = request.header.value("op").toString();
    QJsonObject reply;
    QByteArray replyPayload;
    try {
        reply = Run(op, request.header, request.payload, replyPayload);
        reply["ok"] = true;
    } catch (const std::exception& e) {
        reply = QJsonObject{{"ok", false}, {"error", QString::fromUtf8(e.what())}};
        replyPayload.clear();
    }
    if (id != 0) {
        // Events raised before the reply go first, so that the program sees
        // the document as the reply describes it.
        FlushEvents();
        reply["re"] = id;
        Send(reply, replyPayload);
    }
    if (op == QLatin1String("quit"))
        Shutdown();
}

THelperDocument& THelperServer::Document(const QJsonObject& args)
{
    auto it = m_docs.find(args.value("doc").toInt());
    if (it == m_docs.end())
        Fail(QStringLiteral("No such document"));
    it->second->Activate();
    return *it->second;
}

QString THelperServer::TakeError()
{
    char* error = m_office.getError();
    QString text = error ? QString::fromUtf8(error) : QString();
    if (error)
        m_office.freeError(error);
    return text;
}

void THelperServer::OpenDocument(int id, const QString& url, const QString& options, const QString& recovery)
{
    if (m_docs.count(id))
        Fail(QStringLiteral("Document id already in use"));
    std::unique_ptr<lok::Document> doc(
        m_office.documentLoad(url.toUtf8().constData(), options.isEmpty() ? nullptr : options.toUtf8().constData()));
    if (!doc) {
        const QString error = TakeError();
        Fail(error.isEmpty() ? QStringLiteral("LibreOffice could not open the document") : error);
    }
    auto sink = std::make_unique<TCallbackSink>(TCallbackSink{this, id});
    doc->initializeForRendering("{}");
    doc->registerCallback(&THelperServer::LokCallback, sink.get());
    m_sinks.push_back(std::move(sink));
    auto entry = std::make_unique<THelperDocument>(id, std::move(doc), recovery);
    THelperDocument& ref = *entry;
    m_docs.emplace(id, std::move(entry));
    // Wait until the new frame takes commands; until then every dispatch fails.
    Barrier(ref);
}

bool THelperServer::Uno(THelperDocument& doc, const QString& command, const QByteArray& args, bool wait)
{
    const int before = doc.UnoResultCount(command);
    const QByteArray cmd = command.toUtf8();
    QDeadlineTimer readyDeadline(10000);
    for (;;) {
        TakeError();
        doc.Activate();
        doc.Doc().postUnoCommand(cmd.constData(), args.isEmpty() ? nullptr : args.constData(), wait);
        const QString error = TakeError();
        if (error.isEmpty())
            break;
        if (doc.Ready() || !error.contains(QLatin1String("dispatch")) || readyDeadline.hasExpired())
            Fail(error);
        QThread::msleep(10);
        QCoreApplication::processEvents();
    }
    doc.SetReady();
    if (!wait)
        return true;
    QDeadlineTimer deadline(kUnoTimeoutMs);
    while (doc.UnoResultCount(command) == before) {
        if (deadline.hasExpired())
            Fail(QStringLiteral("LibreOffice did not finish %1").arg(command));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return doc.LastUnoSuccess(command);
}

void THelperServer::Barrier(THelperDocument& doc)
{
    // LibreOffice has no "no-op" command; switching change tracking off is
    // one that leaves the document as it is (tracking is never switched on).
    Uno(doc, QStringLiteral(".uno:TrackChanges"),
        QByteArrayLiteral("{\"TrackChanges\":{\"type\":\"boolean\",\"value\":false}}"));
}

void THelperServer::SaveAs(THelperDocument& doc, const QString& path, const QString& format, const QString& options)
{
    Barrier(doc);
    doc.Activate();
    TakeError();
    const bool ok = doc.Doc().saveAs(FileUrl(path).toUtf8().constData(), format.toUtf8().constData(),
                                     options.isEmpty() ? nullptr : options.toUtf8().constData());
    if (!ok) {
        const QString error = TakeError();
        Fail(error.isEmpty() ? QStringLiteral("LibreOffice could not save the document as %1").arg(format) : error);
    }
}

void THelperServer::SaveRecovery(THelperDocument& doc)
{
    if (doc.RecoveryPath().isEmpty())
        return;
    // A new file, then a rename: a crash while writing leaves the old copy.
    const QString part = doc.RecoveryPath() + QStringLiteral(".part");
    QFile::remove(part);
    SaveAs(doc, part, QStringLiteral("odt"), {});
    QFile::remove(doc.RecoveryPath());
    if (!QFile::rename(part, doc.RecoveryPath()))
        Fail(QStringLiteral("Cannot write the recovery copy %1").arg(doc.RecoveryPath()));
    doc.MarkClean();
    Send(QJsonObject{{"ev", "recovery"}, {"doc", doc.Id()}, {"path", doc.RecoveryPath()}});
}

void THelperServer::ScheduleRecovery()
{
    m_recoveryTimer.start();
}

void THelperServer::WriteRecoveryCopies()
{
    if (m_busy || !m_queue.empty()) {
        m_recoveryTimer.start();
        return;
    }
    m_busy = true;
    for (auto& [id, doc] : m_docs) {
        if (!doc->Dirty())
            continue;
        try {
            doc->Activate();
            SaveRecovery(*doc);
        } catch (const std::exception& e) {
            qWarning("vantoli-office: recovery copy failed: %s", e.what());
        }
    }
    m_busy = false;
    if (!m_queue.empty())
        QMetaObject::invokeMethod(this, &THelperServer::ProcessQueue, Qt::QueuedConnection);
}

QString THelperServer::PlainText(THelperDocument& doc)
{
    // Exporting to text leaves the user's selection alone, unlike select-all
    // and reading the selection back.
    const QString path = QDir::temp().filePath(
        QStringLiteral("vantoli-text-%1-%2.txt").arg(QCoreApplication::applicationPid()).arg(++m_textSerial));
    SaveAs(doc, path, QStringLiteral("txt"), {});
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    file.close();
    QFile::remove(path);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QString text = QString::fromUtf8(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

QJsonObject THelperServer::Run(const QString& op, const QJsonObject& args, const QByteArray& payload,
                               QByteArray& replyPayload)
{
    auto sizeReply = [](const QSize& s) { return QJsonObject{{"width", s.width()}, {"height", s.height()}}; };

    if (op == QLatin1String("hello"))
        return QJsonObject{{"initMs", m_initMs}};
    if (op == QLatin1String("quit"))
        return {};
#ifdef VANTOLI_OFFICE_TEST_OPS
    // Only in the helper the tests build: they show what the program does
    // when the word processor dies or hangs.
    if (op == QLatin1String("crash"))
        std::abort();
    if (op == QLatin1String("stall")) {
        QThread::msleep(std::clamp(args.value("ms").toInt(), 0, 600000));
        return {};
    }
#endif
    if (op == QLatin1String("stats"))
        return QJsonObject{{"callbacks", double(m_callbacksIn)}, {"events", double(m_eventsOut)}};
    if (op == QLatin1String("new")) {
        const int id = args.value("doc").toInt();
        OpenDocument(id, QStringLiteral("private:factory/swriter"), {}, args.value("recovery").toString());
        return sizeReply(m_docs.at(id)->DocumentSize());
    }
    if (op == QLatin1String("open")) {
        const int id = args.value("doc").toInt();
        const QString path = args.value("path").toString();
        if (!QFileInfo::exists(path))
            Fail(QStringLiteral("The file %1 does not exist").arg(path));
        // Writer opens every format the program offers, HTML included (as a
        // text document, so that editing works the same).
        QString options;
        if (args.value("readOnly").toBool())
            options = QStringLiteral("ReadOnly=true");
        OpenDocument(id, FileUrl(path), options, args.value("recovery").toString());
        return sizeReply(m_docs.at(id)->DocumentSize());
    }

    THelperDocument& doc = Document(args);
    if (op == QLatin1String("close")) {
        const QString recovery = doc.RecoveryPath();
        m_docs.erase(doc.Id());
        if (!recovery.isEmpty())
            QFile::remove(recovery);
        return {};
    }
    if (op == QLatin1String("size"))
        return sizeReply(doc.DocumentSize());
    if (op == QLatin1String("key")) {
        const int type = args.value("type").toInt();
        if (!IsSafeKey(args.value("code").toInt()))
            return {};
        doc.Doc().postKeyEvent(type, args.value("char").toInt(), args.value("code").toInt());
        if (type == LOK_KEYEVENT_KEYUP)
            Barrier(doc);
        doc.MarkDirty();
        ScheduleRecovery();
        return {};
    }
    if (op == QLatin1String("textinput")) {
        const int type = args.value("type").toInt();
        doc.Doc().postWindowExtTextInputEvent(0, type, args.value("text").toString().toUtf8().constData());
        if (type == LOK_EXT_TEXTINPUT_END)
            Barrier(doc);
        doc.MarkDirty();
        ScheduleRecovery();
        return {};
    }
    if (op == QLatin1String("mouse")) {
        doc.Doc().postMouseEvent(args.value("type").toInt(), args.value("x").toInt(), args.value("y").toInt(),
                                 args.value("count").toInt(1), args.value("buttons").toInt(),
                                 args.value("modifiers").toInt());
        // Clicks are handled later, like keys: what follows must see their effect.
        if (args.value("type").toInt() == LOK_MOUSEEVENT_MOUSEBUTTONUP)
            Barrier(doc);
        // A drag can move a picture or text: treat clicks as edits too.
        doc.MarkDirty();
        ScheduleRecovery();
        return {};
    }
    if (op == QLatin1String("visible")) {
        doc.Doc().setClientVisibleArea(args.value("x").toInt(), args.value("y").toInt(), args.value("width").toInt(),
                                       args.value("height").toInt());
        return {};
    }
    if (op == QLatin1String("tile")) {
        const int w = args.value("w").toInt();
        const int h = args.value("h").toInt();
        if (w <= 0 || h <= 0 || w > 4096 || h > 4096)
            Fail(QStringLiteral("Bad tile size"));
        // LibreOffice paints only the pages; the rest stays transparent.
        replyPayload.fill('\0', qsizetype(w) * h * 4);
        doc.Doc().paintTile(reinterpret_cast<unsigned char*>(replyPayload.data()), w, h, args.value("x").toInt(),
                            args.value("y").toInt(), args.value("tw").toInt(), args.value("th").toInt());
        return QJsonObject{{"w", w}, {"h", h}};
    }
    if (op == QLatin1String("uno")) {
        const QString command = args.value("command").toString();
        const QByteArray unoArgs = args.value("args").toString().toUtf8();
        if (!IsSafeCommand(command, unoArgs))
            Fail(QStringLiteral("The command %1 is not available here").arg(command));
        const bool success = Uno(doc, command, unoArgs, args.value("wait").toBool(true));
        doc.MarkDirty();
        ScheduleRecovery();
        return QJsonObject{{"success", success}};
    }
    if (op == QLatin1String("selectall")) {
        Uno(doc, QStringLiteral(".uno:SelectAll"));
        return {};
    }
    if (op == QLatin1String("copy")) {
        Barrier(doc);
        const bool cut = args.value("cut").toBool();
        Uno(doc, cut ? QStringLiteral(".uno:Cut") : QStringLiteral(".uno:Copy"));
        if (cut) {
            doc.MarkDirty();
            ScheduleRecovery();
        }
        doc.Activate();
        const char* wanted[] = {"text/html", "text/plain;charset=utf-8", "image/png", nullptr};
        size_t count = 0;
        char** mimes = nullptr;
        size_t* sizes = nullptr;
        char** streams = nullptr;
        QJsonArray mimeList, sizeList;
        if (doc.Doc().getClipboard(wanted, &count, &mimes, &sizes, &streams)) {
            for (size_t i = 0; i < count; ++i) {
                if (streams[i] && sizes[i] > 0) {
                    mimeList.append(QString::fromUtf8(mimes[i]));
                    sizeList.append(double(sizes[i]));
                    replyPayload.append(streams[i], qsizetype(sizes[i]));
                }
                std::free(mimes[i]);
                std::free(streams[i]);
            }
            std::free(mimes);
            std::free(sizes);
            std::free(streams);
        }
        return QJsonObject{{"mimes", mimeList}, {"sizes", sizeList}};
    }
    if (op == QLatin1String("paste")) {
        Barrier(doc);
        QByteArray mime = args.value("mime").toString().toUtf8();
        QByteArray data = payload;
        if (mime.startsWith("image/")) {
            // Writer refuses a bare picture from the clipboard in this mode;
            // as a page referring to a file it takes it and embeds it.
            const QString ext = QString::fromUtf8(mime.mid(6)).section(QLatin1Char(';'), 0, 0);
            const QString file = QDir::temp().filePath(
                QStringLiteral("vantoli-paste-%1-%2.%3").arg(QCoreApplication::applicationPid()).arg(++m_textSerial).arg(ext));
            QFile out(file);
            if (!out.open(QIODevice::WriteOnly) || out.write(payload) != payload.size())
                Fail(QStringLiteral("Cannot keep the pasted picture in %1").arg(file));
            out.close();
            mime = "text/html";
            data = QStringLiteral("<html><body><img src=\"%1\"></body></html>").arg(FileUrl(file)).toUtf8();
        }
        QDeadlineTimer readyDeadline(10000);
        for (;;) {
            TakeError();
            doc.Activate();
            if (doc.Doc().paste(mime.constData(), data.constData(), size_t(data.size())))
                break;
            const QString error = TakeError();
            if (doc.Ready() || !error.contains(QLatin1String("dispatch")) || readyDeadline.hasExpired())
                Fail(error.isEmpty() ? QStringLiteral("LibreOffice could not paste %1").arg(QString::fromUtf8(mime))
                                     : error);
            QThread::msleep(10);
        }
        doc.MarkDirty();
        ScheduleRecovery();
        return {};
    }
    if (op == QLatin1String("text"))
        return QJsonObject{{"text", PlainText(doc)}};
    if (op == QLatin1String("paracount"))
        return QJsonObject{{"count", int(PlainText(doc).count(QLatin1Char('\n'))) + 1}};
    if (op == QLatin1String("insertafter")) {
        Uno(doc, QStringLiteral(".uno:GoToEndOfDoc"));
        // A line feed starts a new paragraph, as a paragraph mark does in the
        // text handed over; LibreOffice's InsertText would make it a line break.
        const QStringList lines = args.value("text").toString().split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                Uno(doc, QStringLiteral(".uno:InsertPara"));
            if (!lines[i].isEmpty())
                Uno(doc, QStringLiteral(".uno:InsertText"), TypedString("Text", lines[i]));
        }
        doc.MarkDirty();
        ScheduleRecovery();
        return {};
    }
    if (op == QLatin1String("deletepara")) {
        const int index = args.value("index").toInt();
        const int count = int(PlainText(doc).count(QLatin1Char('\n'))) + 1;
        if (index < 1 || index > count)
            Fail(QStringLiteral("The document has no paragraph %1").arg(index));
        // Writer moves by paragraph on Ctrl+Down and selects to the paragraph's
        // end with Ctrl+Shift+Down, as a user would do it.
        Uno(doc, QStringLiteral(".uno:GoToStartOfDoc"));
        auto key = [&doc](int code) {
            doc.Activate();
            doc.Doc().postKeyEvent(LOK_KEYEVENT_KEYINPUT, 0, code);
            doc.Doc().postKeyEvent(LOK_KEYEVENT_KEYUP, 0, code);
        };
        constexpr int kDown = 1024, kRight = 1027, kDelete = 1286, kShift = 0x1000, kCtrl = 0x2000;
        for (int i = 1; i < index; ++i)
            key(kDown | kCtrl);
        key(kDown | kCtrl | kShift);
        // The paragraph mark goes with its text, except the document's last one.
        if (index < count)
            key(kRight | kShift);
        key(kDelete);
        Barrier(doc);
        doc.MarkDirty();
        ScheduleRecovery();
        return {};
    }
    if (op == QLatin1String("saveas")) {
        const QString path = args.value("path").toString();
        const QString format = args.value("format").toString();
        if (path.isEmpty() || format.isEmpty())
            Fail(QStringLiteral("Save needs a file name and a format"));
        // The recovery copy first: an export that crashes LibreOffice must not
        // cost the user what was written since the last pause.
        if (doc.Dirty())
            SaveRecovery(doc);
        SaveAs(doc, path, format, args.value("options").toString());
        return {};
    }
    Fail(QStringLiteral("Unknown request %1").arg(op));
}

void THelperServer::Send(const QJsonObject& header, const QByteArray& payload)
{
    if (m_socket && m_socket->state() == QLocalSocket::ConnectedState)
        m_socket->write(office_protocol::EncodeFrame(header, payload));
}

void THelperServer::Shutdown()
{
    if (m_quitting)
        return;
    m_quitting = true;
    if (m_socket)
        m_socket->flush();
    m_docs.clear();
    // LibreOffice's own shutdown can hang; the process ends either way.
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        std::_Exit(0);
    }).detach();
    QCoreApplication::exit(0);
}
