#include "officeclient.h"
#include "officeerror.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QTimer>
#include <QUuid>

namespace {

constexpr int kMaxDeathsPerMinute = 3;
constexpr int kConnectPollMs = 20;
constexpr int kHelloTimeoutMs = 10000;
constexpr qsizetype kStderrTail = 4096;

QString ProgramName()
{
    return QStringLiteral("vantoli-office");
}

} // namespace

TOfficeClient::TOfficeClient(QString workFolder, QString helperPath, QObject* parent)
    : QObject(parent), m_workFolder(QDir(workFolder).absolutePath()), m_helperPath(std::move(helperPath))
{
    m_clock.start();
    m_connectTimer = new QTimer(this);
    m_connectTimer->setInterval(kConnectPollMs);
    connect(m_connectTimer, &QTimer::timeout, this, &TOfficeClient::TryConnect);
}

TOfficeClient::~TOfficeClient()
{
    m_stopping = true;
    if (IsReady()) {
        try {
            Call(QStringLiteral("quit"), {}, {}, 5000);
        } catch (const EOfficeError&) {
            // The helper is going away in any case.
        }
    }
    if (m_process) {
        m_process->disconnect(this);
        if (!m_process->waitForFinished(4000)) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    for (const auto& [id, entry] : m_docs) {
        QFile::remove(entry.recoveryPath);
        if (!entry.reopenPath.isEmpty())
            QFile::remove(entry.reopenPath);
    }
}

QString TOfficeClient::HelperProgram() const
{
    if (!m_helperPath.isEmpty()) {
        const QFileInfo info(m_helperPath);
        return info.isDir() ? QDir(m_helperPath).filePath(ProgramName()) : m_helperPath;
    }
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(ProgramName());
    if (QFileInfo::exists(beside))
        return beside;
    // An installed program keeps its helpers in ../libexec as well.
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../libexec/") + ProgramName());
}

qint64 TOfficeClient::HelperPid() const
{
    return m_process ? m_process->processId() : 0;
}

void TOfficeClient::Start()
{
    if (m_started)
        return;
    m_started = true;
    StartProcess();
}

void TOfficeClient::StartProcess()
{
    ++m_generation;
    const QDir work(m_workFolder);
    work.mkpath(QStringLiteral("office-profile"));
    work.mkpath(QStringLiteral("office-tmp"));
    work.mkpath(QStringLiteral("office-recovery"));

    // A socket path must stay short (108 bytes); the work folder may be deep.
    // A full path either way: the helper's temporary folder is not ours.
    const QString inWork = work.filePath(QStringLiteral("office.sock"));
    m_serverName = inWork.toLocal8Bit().size() < 100
        ? inWork
        : QDir::temp().filePath(QStringLiteral("vantoli-office-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
    // A fresh token per helper: 32 random bytes from the system's source.
    QByteArray random(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    m_token = random.toHex();

    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Each helper leaves lu<pid>*.tmp folders in TMPDIR: keep them in ours.
    env.insert(QStringLiteral("TMPDIR"), work.filePath(QStringLiteral("office-tmp")));
    m_process->setProcessEnvironment(env);
    m_process->setProgram(HelperProgram());
    m_process->setArguments({QStringLiteral("--server"), m_serverName, QStringLiteral("--profile"),
                             work.filePath(QStringLiteral("office-profile"))});
    const int generation = m_generation;
    connect(m_process.get(), &QProcess::readyReadStandardOutput, this, &TOfficeClient::OnHelperOutput);
    connect(m_process.get(), &QProcess::readyReadStandardError, this, [this] {
        const QByteArray bytes = m_process->readAllStandardError();
        if (qEnvironmentVariableIsSet("VANTOLI_OFFICE_DEBUG"))
            qDebug("vantoli-office: %s", bytes.constData());
        m_stderrTail = (m_stderrTail + bytes).right(kStderrTail);
    });
    connect(m_process.get(), &QProcess::finished, this, [this, generation](int code, QProcess::ExitStatus status) {
        if (generation == m_generation)
            OnHelperGone(status == QProcess::CrashExit ? QStringLiteral("The word processor crashed")
                                                       : QStringLiteral("The word processor stopped (exit code %1)").arg(code));
    });
    connect(m_process.get(), &QProcess::errorOccurred, this, [this, generation](QProcess::ProcessError error) {
        if (generation == m_generation && error == QProcess::FailedToStart)
            OnHelperGone(QStringLiteral("The word processor helper %1 could not be started").arg(m_process->program()));
    });
    // The token goes on standard input, never on the command line: every
    // user of the machine can read a process's arguments.
    connect(m_process.get(), &QProcess::started, this, [this, generation] {
        if (generation != m_generation || !m_process)
            return;
        m_process->write(m_token + '\n');
        m_process->closeWriteChannel();
    });
    m_stdout.clear();
    m_process->start();
    m_connectTimer->start();
}

void TOfficeClient::OnHelperOutput()
{
    if (!m_process)
        return;
    // Only kept for the error message: LibreOffice writes here too, so no
    // word in it can tell that the helper is ready.
    m_stdout = (m_stdout + m_process->readAllStandardOutput()).right(kStderrTail);
}

void TOfficeClient::TryConnect()
{
    if (m_connected || m_connecting || !m_process || m_process->state() != QProcess::Running) {
        if (m_connected || !m_process)
            m_connectTimer->stop();
        return;
    }
    m_connecting = true;
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(m_serverName);
    if (socket->state() != QLocalSocket::ConnectedState && !socket->waitForConnected(200)) {
        // Not listening yet (LibreOffice is still starting); the timer tries again.
        m_connecting = false;
        return;
    }
    // The hello goes first and is the only thing answered before the token
    // has been checked; its answer is what tells that the helper is ready.
    const int helloId = m_nextRequest++;
    socket->write(office_protocol::EncodeFrame(
        QJsonObject{{"id", helloId}, {"op", "hello"}, {"token", QString::fromLatin1(m_token)}}));
    socket->flush();
    office_protocol::TFrameReader reader;
    std::optional<office_protocol::TFrame> reply;
    QDeadlineTimer deadline(kHelloTimeoutMs);
    while (!reply && !reader.Broken() && !deadline.hasExpired() && socket->state() == QLocalSocket::ConnectedState) {
        if (socket->bytesAvailable() == 0)
            socket->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 100)));
        reader.Append(socket->readAll());
        reply = reader.Next();
    }
    m_connecting = false;
    if (!reply || reply->header.value("re").toInt() != helloId || !reply->header.value("ok").toBool()) {
        const QString why = reply ? reply->header.value("error").toString() : QStringLiteral("no answer to hello");
        OnHelperGone(QStringLiteral("The word processor did not take the connection (%1)").arg(why));
        return;
    }
    m_connectTimer->stop();
    delete m_socket;
    m_socket = socket.release();
    m_socket->setParent(this);
    m_reader = std::move(reader);
    m_connected = true;
    const int generation = m_generation;
    connect(m_socket, &QLocalSocket::readyRead, this, &TOfficeClient::OnReadyRead);
    connect(m_socket, &QLocalSocket::disconnected, this, [this, generation] {
        if (generation == m_generation)
            OnHelperGone(QStringLiteral("The word processor closed the connection"));
    });
    if (m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &TOfficeClient::OnReadyRead);
    if (m_restarts > 0)
        ReopenDocuments();
    Q_EMIT Ready();
}

bool TOfficeClient::WaitReady(int timeoutMs)
{
    Start();
    QDeadlineTimer deadline(timeoutMs);
    while (!IsReady() && !m_failed && !deadline.hasExpired()) {
        if (!m_process || m_process->state() == QProcess::NotRunning) {
            // A restart may be pending on the event loop; run it now.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
            continue;
        }
        TryConnect();
        if (IsReady() || !m_process)
            continue;
        // A pause that also notices a helper that ends while starting.
        m_process->waitForFinished(int(std::min<qint64>(deadline.remainingTime(), kConnectPollMs)));
        if (m_process && m_process->state() == QProcess::NotRunning)
            OnHelperGone(QStringLiteral("The word processor stopped while starting"));
    }
    return IsReady();
}

void TOfficeClient::OnHelperGone(const QString& reason)
{
    const bool wasUp = m_started && !m_failed;
    ++m_generation;   // every signal of the old helper is stale from here on
    m_connected = false;
    m_connectTimer->stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
        // This may run inside one of the process object's own calls (a failed
        // start is reported from within waitForReadyRead): delete it later.
        m_process.release()->deleteLater();
    }
    // Whoever waited for an answer gets the failure.
    for (const auto& [id, pending] : m_async) {
        office_protocol::TFrame failed;
        failed.header = QJsonObject{{"re", id}, {"ok", false}, {"error", reason}};
        m_deferred.push_back(failed);
    }
    ScheduleDispatch();
    if (m_stopping || !wasUp)
        return;
    Q_EMIT HelperStopped(reason);

    const qint64 now = m_clock.elapsed();
    m_deaths.push_back(now);
    std::erase_if(m_deaths, [now](qint64 t) { return now - t > 60000; });
    if (int(m_deaths.size()) > kMaxDeathsPerMinute) {
        m_failed = true;
        Q_EMIT HelperFailed(reason + QStringLiteral("; it keeps stopping and is not restarted again"));
        return;
    }
    QTimer::singleShot(0, this, &TOfficeClient::Restart);
}

void TOfficeClient::Restart()
{
    if (m_stopping || m_failed || m_process)
        return;
    ++m_restarts;
    StartProcess();
}

QString TOfficeClient::RecoveryPathFor(int doc) const
{
    return QDir(m_workFolder).filePath(QStringLiteral("office-recovery/document-%1.odt").arg(doc));
}

void TOfficeClient::OpenInHelper(int doc, const TDocEntry& entry, const QString& path)
{
    QJsonObject args{{"doc", doc}, {"recovery", entry.recoveryPath}};
    TReply reply;
    if (path.isEmpty()) {
        reply = Call(QStringLiteral("new"), args);
    } else {
        args["path"] = path;
        args["readOnly"] = entry.readOnly;
        reply = Call(QStringLiteral("open"), args);
    }
    m_docs[doc].size = QSize(reply.header.value("width").toInt(), reply.header.value("height").toInt());
}

void TOfficeClient::ReopenDocuments()
{
    for (auto& [id, entry] : m_docs) {
        bool fromCopy = false;
        try {
            if (entry.hasCopy && QFileInfo::exists(entry.recoveryPath)) {
                // The document is opened from a copy of the copy: the helper
                // keeps writing the recovery file, which must not be the file
                // LibreOffice reads pictures from.
                const QString reopen = entry.recoveryPath + QStringLiteral(".reopen-%1.odt").arg(m_restarts);
                QFile::remove(reopen);
                QFile::copy(entry.recoveryPath, reopen);
                OpenInHelper(id, entry, reopen);
                if (!entry.reopenPath.isEmpty())
                    QFile::remove(entry.reopenPath);
                entry.reopenPath = reopen;
                fromCopy = true;
            } else {
                OpenInHelper(id, entry, entry.sourcePath);
            }
        } catch (const EOfficeError&) {
            try {
                OpenInHelper(id, entry, {});
            } catch (const EOfficeError&) {
                continue;
            }
        }
        Q_EMIT DocumentRecovered(id, fromCopy);
    }
}

void TOfficeClient::OnReadyRead()
{
    if (!m_socket)
        return;
    m_reader.Append(m_socket->readAll());
    while (auto frame = m_reader.Next()) {
        const int re = frame->header.value("re").toInt();
        if (re != 0 && re == m_waitingFor)
            m_syncReply = std::make_unique<office_protocol::TFrame>(std::move(*frame));
        else
            m_deferred.push_back(std::move(*frame));
    }
    if (m_reader.Broken()) {
        QTimer::singleShot(0, this, [this, generation = m_generation] {
            if (generation == m_generation)
                OnHelperGone(QStringLiteral("The word processor sent a damaged message"));
        });
    }
    if (!m_deferred.empty())
        ScheduleDispatch();
}

void TOfficeClient::ScheduleDispatch()
{
    if (m_dispatchScheduled)
        return;
    m_dispatchScheduled = true;
    QTimer::singleShot(0, this, &TOfficeClient::DispatchDeferred);
}

void TOfficeClient::DispatchDeferred()
{
    m_dispatchScheduled = false;
    std::vector<office_protocol::TFrame> frames;
    frames.swap(m_deferred);
    for (const office_protocol::TFrame& frame : frames) {
        const int re = frame.header.value("re").toInt();
        if (re != 0) {
            auto it = m_async.find(re);
            if (it == m_async.end())
                continue;
            TPending pending = std::move(it->second);
            m_async.erase(it);
            if (pending.context && pending.done)
                pending.done(ToReply(frame));
        } else {
            HandleEvent(frame);
        }
    }
}

void TOfficeClient::HandleEvent(const office_protocol::TFrame& frame)
{
    const QString name = frame.header.value("ev").toString();
    const int doc = frame.header.value("doc").toInt();
    auto it = m_docs.find(doc);
    if (it == m_docs.end())
        return;
    if (name == QLatin1String("recovery"))
        it->second.hasCopy = true;
    else if (name == QLatin1String("size"))
        it->second.size = QSize(frame.header.value("width").toInt(), frame.header.value("height").toInt());
    Q_EMIT DocumentEvent(doc, name, frame.header);
}

TOfficeClient::TReply TOfficeClient::ToReply(const office_protocol::TFrame& frame) const
{
    TReply reply;
    reply.ok = frame.header.value("ok").toBool();
    reply.error = frame.header.value("error").toString();
    reply.header = frame.header;
    reply.payload = frame.payload;
    return reply;
}

TOfficeClient::TReply TOfficeClient::Call(const QString& op, QJsonObject args, const QByteArray& payload,
                                          int timeoutMs)
{
    if (m_failed)
        throw EOfficeError(QStringLiteral("The word processor is not available"));
    if (!IsReady() && !WaitReady(timeoutMs))
        throw EOfficeError(QStringLiteral("The word processor did not start"));
    const int id = m_nextRequest++;
    args["id"] = id;
    args["op"] = op;
    m_socket->write(office_protocol::EncodeFrame(args, payload));
    const int previousWait = m_waitingFor;
    m_waitingFor = id;
    m_syncReply.reset();
    const int generation = m_generation;
    QDeadlineTimer deadline(timeoutMs);
    while (!m_syncReply) {
        if (generation != m_generation || !m_socket) {
            m_waitingFor = previousWait;
            throw EOfficeError(QStringLiteral("The word processor stopped"));
        }
        if (deadline.hasExpired()) {
            m_waitingFor = previousWait;
            OnHelperGone(QStringLiteral("The word processor did not answer"));
            throw EOfficeError(QStringLiteral("The word processor did not answer in time"));
        }
        m_socket->flush();
        if (!m_socket->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 200)))
            && m_socket && m_socket->state() != QLocalSocket::ConnectedState) {
            m_waitingFor = previousWait;
            OnHelperGone(QStringLiteral("The word processor stopped"));
            throw EOfficeError(QStringLiteral("The word processor stopped"));
        }
    }
    m_waitingFor = previousWait;
    TReply reply = ToReply(*m_syncReply);
    m_syncReply.reset();
    if (!reply.ok)
        throw EOfficeError(reply.error);
    return reply;
}

void TOfficeClient::CallAsync(const QString& op, QJsonObject args, QObject* context,
                              std::function<void(const TReply&)> done, const QByteArray& payload)
{
    if (!IsReady()) {
        // Answered from the event loop like any other reply.
        QTimer::singleShot(0, context ? context : this, [done] {
            TReply reply;
            reply.error = QStringLiteral("The word processor is not running");
            if (done)
                done(reply);
        });
        return;
    }
    const int id = m_nextRequest++;
    args["id"] = id;
    args["op"] = op;
    m_async.emplace(id, TPending{QPointer<QObject>(context ? context : this), std::move(done)});
    m_socket->write(office_protocol::EncodeFrame(args, payload));
}

void TOfficeClient::Post(const QString& op, QJsonObject args)
{
    if (!IsReady())
        return;
    args["id"] = 0;
    args["op"] = op;
    m_socket->write(office_protocol::EncodeFrame(args));
}

int TOfficeClient::NewDocument()
{
    const int id = m_nextDoc++;
    TDocEntry entry;
    entry.recoveryPath = RecoveryPathFor(id);
    m_docs.emplace(id, entry);
    try {
        OpenInHelper(id, entry, {});
    } catch (...) {
        m_docs.erase(id);
        throw;
    }
    return id;
}

int TOfficeClient::OpenDocument(const QString& path, bool readOnly)
{
    const int id = m_nextDoc++;
    TDocEntry entry;
    entry.sourcePath = QFileInfo(path).absoluteFilePath();
    entry.readOnly = readOnly;
    entry.recoveryPath = RecoveryPathFor(id);
    m_docs.emplace(id, entry);
    try {
        OpenInHelper(id, entry, entry.sourcePath);
    } catch (...) {
        m_docs.erase(id);
        throw;
    }
    return id;
}

void TOfficeClient::CloseDocument(int doc)
{
    auto it = m_docs.find(doc);
    if (it == m_docs.end())
        return;
    const QString recovery = it->second.recoveryPath;
    const QString reopen = it->second.reopenPath;
    m_docs.erase(it);
    QFile::remove(recovery);
    if (!reopen.isEmpty())
        QFile::remove(reopen);
    if (IsReady())
        Call(QStringLiteral("close"), QJsonObject{{"doc", doc}});
}

QString TOfficeClient::SourcePath(int doc) const
{
    auto it = m_docs.find(doc);
    return it == m_docs.end() ? QString() : it->second.sourcePath;
}

QSize TOfficeClient::DocumentSize(int doc) const
{
    auto it = m_docs.find(doc);
    return it == m_docs.end() ? QSize() : it->second.size;
}
