#include "app/uploaders/ftpsession.h"

#include "app/uploaders/fileuploaders.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <curl/curl.h>

namespace {

// A server that stops answering, or stops taking data, must end the upload
// with an error rather than hang it: the caller waits for the summary, and
// Abort never interrupts a transfer in progress.
constexpr long ConnectTimeoutSeconds = 30;
constexpr long ResponseTimeoutSeconds = 60;
constexpr long StalledTransferSeconds = 60;
constexpr int MinPollMs = 1;
constexpr int MaxPollMs = 100;

// The URL path of a server folder, ready to take a file name. libcurl reads
// "%2F" at the start as the server's root and, with one CWD per request,
// changes into the whole folder in one command.
QByteArray DirUrlPath(const QString& dir)
{
    QByteArray path;
    if (dir.startsWith(QLatin1Char('/')))
        path = "%2F";
    const QStringList parts = dir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts)
        path += QUrl::toPercentEncoding(part) + '/';
    return path;
}

QString Quoted(const QString& s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* userData)
{
    const qint64 n = static_cast<QFile*>(userData)->read(buffer, static_cast<qint64>(size * count));
    return n < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(n);
}

// Requests without a body still deliver header-like lines (size, date)
// as data; nobody wants them.
size_t DiscardData(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// Keeps the server's last reply line: libcurl's message for a refused quote
// command does not say why the server refused it.
size_t KeepReplyLine(char* buffer, size_t size, size_t count, void* userData)
{
    const size_t n = size * count;
    const QByteArray line = QByteArray(buffer, static_cast<qsizetype>(n)).trimmed();
    if (line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])))
        *static_cast<QByteArray*>(userData) = line;
    return n;
}

int CancelTransfer(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* cancel = static_cast<const std::atomic<bool>*>(userData);
    return cancel && cancel->load() ? 1 : 0;
}

} // namespace

struct TFtpSession::TCurl {
    CURL* Handle = nullptr;
    CURLM* Multi = nullptr;
    char ErrorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray LastReply;
    QByteArray HostUrl; // "ftp://host/"
    QString HostText;   // "host:port", for messages
    QByteArray UserName, Password;
    long Port = 0;
    const std::atomic<bool>* Cancel = nullptr;
    bool UseTls = false;
    QByteArray CaFile;

    TCurl() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~TCurl()
    {
        Close();
        curl_global_cleanup();
    }

    void Close()
    {
        // The connection lives in the multi handle's pool: closing that
        // sends QUIT.
        if (Multi)
            curl_multi_cleanup(Multi);
        if (Handle)
            curl_easy_cleanup(Handle);
        Multi = nullptr;
        Handle = nullptr;
    }

    CURL* Easy()
    {
        if (Handle)
            return Handle;
        Handle = curl_easy_init();
        Multi = curl_multi_init();
        if (!Handle || !Multi) {
            Close();
            throw EFileUploaderException(QStringLiteral("Cannot start an FTP session: libcurl could not be initialised"));
        }
        curl_easy_setopt(Handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(Handle, CURLOPT_ERRORBUFFER, ErrorBuffer);
        curl_easy_setopt(Handle, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(Handle, CURLOPT_PORT, Port);
        curl_easy_setopt(Handle, CURLOPT_USERNAME, UserName.constData());
        curl_easy_setopt(Handle, CURLOPT_PASSWORD, Password.constData());
        curl_easy_setopt(Handle, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        curl_easy_setopt(Handle, CURLOPT_TRANSFERTEXT, 0L); // binary
        curl_easy_setopt(Handle, CURLOPT_FTPPORT, nullptr); // passive (EPSV, then PASV)
        curl_easy_setopt(Handle, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
        curl_easy_setopt(Handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, ResponseTimeoutSeconds);
        // A data connection on which nothing moves for a minute is dead.
        curl_easy_setopt(Handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(Handle, CURLOPT_LOW_SPEED_TIME, StalledTransferSeconds);
        curl_easy_setopt(Handle, CURLOPT_WRITEFUNCTION, &DiscardData);
        curl_easy_setopt(Handle, CURLOPT_HEADERFUNCTION, &KeepReplyLine);
        curl_easy_setopt(Handle, CURLOPT_HEADERDATA, &LastReply);
        curl_easy_setopt(Handle, CURLOPT_XFERINFOFUNCTION, &CancelTransfer);
        curl_easy_setopt(Handle, CURLOPT_XFERINFODATA, Cancel);
        curl_easy_setopt(Handle, CURLOPT_NOPROGRESS, Cancel ? 0L : 1L);
        if (UseTls) {
            // AUTH TLS before USER, PROT P for every data connection; a server
            // that refuses either ends the request instead of going on in the
            // clear.
            curl_easy_setopt(Handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
            curl_easy_setopt(Handle, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
            curl_easy_setopt(Handle, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(Handle, CURLOPT_SSL_VERIFYHOST, 2L);
            if (!CaFile.isEmpty())
                curl_easy_setopt(Handle, CURLOPT_CAINFO, CaFile.constData());
        }
        return Handle;
    }

    // Runs one request on the kept connection. upload false and no source
    // means a request without a body: the folder change (and quote commands)
    // alone for a folder URL, the size query for a file URL.
    CURLcode Perform(const QByteArray& url, QFile* source, curl_slist* postQuote)
    {
        CURL* h = Easy();
        ErrorBuffer[0] = '\0';
        LastReply.clear();
        curl_easy_setopt(h, CURLOPT_URL, url.constData());
        curl_easy_setopt(h, CURLOPT_POSTQUOTE, postQuote);
        if (source) {
            curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
            curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(h, CURLOPT_READFUNCTION, &ReadFromFile);
            curl_easy_setopt(h, CURLOPT_READDATA, source);
            curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(source->size()));
        } else {
            curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
            curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
            curl_easy_setopt(h, CURLOPT_READDATA, nullptr);
            curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
        }
        const CURLcode code = Run(h);
        // The handle outlives the list and the file: leave no pointer to them.
        curl_easy_setopt(h, CURLOPT_POSTQUOTE, nullptr);
        curl_easy_setopt(h, CURLOPT_READDATA, nullptr);
        return code;
    }

    // curl_easy_perform, with a loop of our own: libcurl (7.88) can leave a
    // passive data connection unstarted until its poll times out, a full
    // second per file, when the server answers EPSV quickly. Running libcurl
    // once more right after any activity starts it at once; the wait then
    // grows (1, 2, 4 ... 100 ms) while nothing happens, so waiting for a slow
    // server costs no CPU to speak of.
    CURLcode Run(CURL* h)
    {
        if (curl_multi_add_handle(Multi, h) != CURLM_OK)
            return CURLE_FAILED_INIT;
        int running = 1;
        int waitMs = 0;
        CURLcode code = CURLE_OK;
        while (running) {
            if (curl_multi_perform(Multi, &running) != CURLM_OK) {
                code = CURLE_OUT_OF_MEMORY;
                break;
            }
            if (!running)
                break;
            long suggested = -1;
            curl_multi_timeout(Multi, &suggested);
            const int timeoutMs = suggested >= 0 && suggested < waitMs ? static_cast<int>(suggested) : waitMs;
            int events = 0;
            if (curl_multi_poll(Multi, nullptr, 0, timeoutMs, &events) != CURLM_OK) {
                code = CURLE_OUT_OF_MEMORY;
                break;
            }
            waitMs = events > 0 ? 0 : std::clamp(waitMs * 2, MinPollMs, MaxPollMs);
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(Multi, &left))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == h)
                code = msg->data.result;
        curl_multi_remove_handle(Multi, h);
        return code;
    }

    QString CurlText(CURLcode code) const
    {
        return ErrorBuffer[0] ? QString::fromUtf8(ErrorBuffer) : QString::fromUtf8(curl_easy_strerror(code));
    }

    // The connection and the login can fail in any request (libcurl connects
    // again after a dropped connection): name those steps as such.
    [[noreturn]] void Fail(const QString& step, CURLcode code) const
    {
        QString what = step;
        switch (code) {
        case CURLE_URL_MALFORMAT: // no host, or a host that is no host name
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_WEIRD_SERVER_REPLY:
            what = QStringLiteral("Cannot connect to the FTP server %1").arg(HostText);
            break;
        case CURLE_LOGIN_DENIED:
            what = QStringLiteral("Cannot log in to the FTP server %1 as %2").arg(HostText, Quoted(QString::fromUtf8(UserName)));
            break;
        case CURLE_USE_SSL_FAILED:
            what = QStringLiteral("The FTP server %1 does not offer encryption (AUTH TLS); nothing was sent "
                                  "unencrypted").arg(HostText);
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
            what = QStringLiteral("The FTP server %1 could not prove that it is the server named (its certificate "
                                  "failed the check); nothing was sent").arg(HostText);
            break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
            what = QStringLiteral("Cannot make an encrypted connection to the FTP server %1").arg(HostText);
            break;
        default:
            break;
        }
        QString text = CurlText(code);
        if (code == CURLE_QUOTE_ERROR && !LastReply.isEmpty())
            text += QStringLiteral(" (%1)").arg(QString::fromUtf8(LastReply));
        throw EFileUploaderException(what + QStringLiteral(": ") + text);
    }
};

TFtpSession::TFtpSession(const QString& host, int port, const QString& userName, const QString& password,
                         const std::atomic<bool>* cancel)
    : FCurl(std::make_unique<TCurl>())
{
    // IPv6 literals need brackets in a URL.
    const bool ipv6 = host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['));
    const QString urlHost = ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    FCurl->HostUrl = "ftp://" + QUrl::toPercentEncoding(urlHost, "[]:") + '/';
    // The port is a 16-bit number; 0 means the protocol's own, 21.
    FCurl->Port = static_cast<quint16>(port);
    FCurl->HostText = host + QLatin1Char(':') + QString::number(FCurl->Port ? FCurl->Port : 21);
    FCurl->UserName = userName.toUtf8();
    FCurl->Password = password.toUtf8();
    FCurl->Cancel = cancel;
}

TFtpSession::~TFtpSession() = default;

void TFtpSession::RequireTls(const QString& caFile)
{
    FCurl->Close(); // the options are set when the handle is made
    FCurl->UseTls = true;
    FCurl->CaFile = QFile::encodeName(caFile);
}

QString TFtpSession::JoinPath(const QString& dir, const QString& name)
{
    if (dir.isEmpty())
        return name;
    return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

void TFtpSession::ChangeDir(const QString& dir)
{
    const CURLcode code = FCurl->Perform(FCurl->HostUrl + DirUrlPath(dir), nullptr, nullptr);
    if (code != CURLE_OK)
        FCurl->Fail(dir.isEmpty() ? QStringLiteral("Cannot open the login folder")
                                  : QStringLiteral("Cannot change into the folder %1").arg(Quoted(dir)),
                    code);
}

void TFtpSession::MakeDir(const QString& dir, const QString& name)
{
    // libcurl has no request of its own for MKD: send it as a quote command
    // after changing into the parent folder. A line break in the name would
    // smuggle a second command onto the control connection.
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            throw EFileUploaderException(QStringLiteral("Cannot create the folder %1: the name holds a control character")
                                             .arg(Quoted(JoinPath(dir, name))));
    const QByteArray command = "MKD " + name.toUtf8();
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> quote(curl_slist_append(nullptr, command.constData()),
                                                                      &curl_slist_free_all);
    const CURLcode code = FCurl->Perform(FCurl->HostUrl + DirUrlPath(dir), nullptr, quote.get());
    if (code != CURLE_OK)
        FCurl->Fail(QStringLiteral("Cannot create the folder %1").arg(Quoted(JoinPath(dir, name))), code);
}

qint64 TFtpSession::FileSize(const QString& dir, const QString& name)
{
    const CURLcode code =
        FCurl->Perform(FCurl->HostUrl + DirUrlPath(dir) + QUrl::toPercentEncoding(name), nullptr, nullptr);
    if (code == CURLE_REMOTE_FILE_NOT_FOUND)
        return -1;
    if (code != CURLE_OK)
        FCurl->Fail(QStringLiteral("Cannot ask the server for the size of %1").arg(Quoted(JoinPath(dir, name))), code);
    curl_off_t size = -1;
    curl_easy_getinfo(FCurl->Handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    return size;
}

void TFtpSession::Store(const QString& localFile, const QString& dir, const QString& name)
{
    const QString step = QStringLiteral("Cannot upload %1 to %2").arg(Quoted(localFile), Quoted(JoinPath(dir, name)));
    QFile source(localFile);
    if (QFileInfo(localFile).isDir())
        throw EFileUploaderException(step + QStringLiteral(": Is a folder, not a file"));
    if (!source.open(QIODevice::ReadOnly))
        throw EFileUploaderException(step + QStringLiteral(": ") + source.errorString());
    const CURLcode code =
        FCurl->Perform(FCurl->HostUrl + DirUrlPath(dir) + QUrl::toPercentEncoding(name), &source, nullptr);
    if (code != CURLE_OK)
        FCurl->Fail(step, code);
}

void TFtpSession::Disconnect()
{
    FCurl->Close();
}
