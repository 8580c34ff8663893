#include "moodlesitefixture.h"

#include "testutil.h"

#include "app/config/appconfigs.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

const QString TMoodleSite::User = QStringLiteral("teacher");
const QString TMoodleSite::Password = QStringLiteral("Secret-1");

QString TSiteRequest::Header(const QString& name) const
{
    for (const auto& h : Headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

namespace {
// Splits a multipart body into (part headers, part content).
QList<QPair<QByteArray, QByteArray>> Parts(const TSiteRequest& r)
{
    QList<QPair<QByteArray, QByteArray>> out;
    const QString ct = r.Header(QStringLiteral("Content-Type"));
    const qsizetype at = ct.indexOf(QLatin1String("boundary="));
    if (at < 0)
        return out;
    const QByteArray delim = "--" + ct.mid(at + 9).toLatin1();
    qsizetype pos = r.Body.indexOf(delim);
    while (pos >= 0) {
        pos += delim.size();
        if (r.Body.mid(pos, 2) == "--")
            break;
        pos += 2; // CRLF
        const qsizetype next = r.Body.indexOf(delim, pos);
        if (next < 0)
            break;
        const QByteArray chunk = r.Body.mid(pos, next - pos - 2);
        const qsizetype split = chunk.indexOf("\r\n\r\n");
        out.append({chunk.left(split), split < 0 ? QByteArray() : chunk.mid(split + 4)});
        pos = next;
    }
    return out;
}

QString PartName(const QByteArray& head)
{
    static const QRegularExpression re(QStringLiteral("\\bname=\"([^\"]*)\""));
    const auto m = re.match(QString::fromUtf8(head));
    return m.hasMatch() ? m.captured(1) : QString();
}
} // namespace

bool TSiteRequest::HasField(const QString& name) const
{
    return FieldNames().contains(name);
}

QString TSiteRequest::Field(const QString& name) const
{
    for (const auto& p : Parts(*this))
        if (PartName(p.first) == name)
            return QString::fromUtf8(p.second);
    return {};
}

QStringList TSiteRequest::FieldNames() const
{
    QStringList names;
    for (const auto& p : Parts(*this))
        names << PartName(p.first);
    return names;
}

QString TSiteRequest::FormField(const QString& name) const
{
    QByteArray body = Body;
    body.replace('+', ' ');
    for (const QByteArray& pair : body.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        if (QString::fromUtf8(QByteArray::fromPercentEncoding(pair.left(eq))) == name)
            return QString::fromUtf8(QByteArray::fromPercentEncoding(eq < 0 ? QByteArray() : pair.mid(eq + 1)));
    }
    return {};
}

const QList<TEditorPageCase>& EditorPageCases()
{
    static const QList<TEditorPageCase> cases = [] {
        const QString frameBody = QStringLiteral("document.getElementById('id_summary_editor_ifr').contentDocument.body");
        const QString atto = QStringLiteral("document.getElementById('id_summary_editoreditable')");
        const QString hasText = QStringLiteral(
            "(function () { try { return %1.innerHTML.indexOf('Text of summary_editor') >= 0; } catch (e) { return false; } })()");
        return QList<TEditorPageCase>{
            {QStringLiteral("legacy"), QStringLiteral("id_summary_editor_ifr"), hasText.arg(frameBody), frameBody,
             frameBody + QStringLiteral(".focus();"), frameBody + QStringLiteral(".innerHTML")},
            {QStringLiteral("tiny"), QStringLiteral("id_summary_editor_ifr"), hasText.arg(frameBody), frameBody,
             frameBody + QStringLiteral(".focus();"), QStringLiteral("tinymce.get('id_summary_editor').getContent()")},
            {QStringLiteral("atto"), QStringLiteral("id_summary_editoreditable"), hasText.arg(atto), atto,
             atto + QStringLiteral(".focus();"), atto + QStringLiteral(".innerHTML")},
        };
    }();
    return cases;
}

std::unique_ptr<TMoodleSysConfig> TMoodleSite::NewSiteConfig() const
{
    auto config = NewConfig<TMoodleSysConfig>();
    config->SetRootUrl(RootUrl());
    config->SetAccountName(User);
    config->SetAccountPassword(Password);
    return config;
}

TMoodleSite::TMoodleSite(const QStringList& extraArgs)
{
    FProcess = std::make_unique<QProcess>();
    FProcess->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess->start(QStringLiteral("python3"),
                    QStringList{testutil::testsSourceDir() + QStringLiteral("/moodlesite/moodlesite.py"),
                                QStringLiteral("--watch-stdin")}
                        + extraArgs);
    if (!FProcess->waitForStarted(10000))
        return;
    QByteArray line;
    testutil::waitUntil([&] {
        if (FProcess->canReadLine())
            line = FProcess->readLine();
        return line.startsWith("PORT ") || FProcess->state() == QProcess::NotRunning;
    }, 15000);
    if (line.startsWith("PORT "))
        FPort = line.mid(5).trimmed().toInt();
}

TMoodleSite::~TMoodleSite()
{
    if (FProcess->state() != QProcess::NotRunning) {
        FProcess->closeWriteChannel();
        if (!FProcess->waitForFinished(3000)) {
            FProcess->kill();
            FProcess->waitForFinished(3000);
        }
    }
}

QString TMoodleSite::RootUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(FPort);
}

QByteArray TMoodleSite::Call(const QString& method, const QString& path, const QByteArray& body) const
{
    QNetworkAccessManager nam;
    QNetworkRequest req{QUrl(Url(path))};
    req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply* reply = method == QLatin1String("POST") ? nam.post(req, body) : nam.get(req);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QByteArray data = reply->readAll();
    reply->deleteLater();
    return data;
}

QList<TSiteRequest> TMoodleSite::Requests() const
{
    QList<TSiteRequest> out;
    const QJsonArray all = QJsonDocument::fromJson(Call(QStringLiteral("GET"), QStringLiteral("/__test__/requests"))).array();
    for (const QJsonValue& v : all) {
        const QJsonObject o = v.toObject();
        TSiteRequest r;
        r.Method = o.value(QStringLiteral("method")).toString();
        r.Path = o.value(QStringLiteral("path")).toString();
        for (const QJsonValue& h : o.value(QStringLiteral("headers")).toArray())
            r.Headers.append({h.toArray().at(0).toString(), h.toArray().at(1).toString()});
        r.Body = QByteArray::fromBase64(o.value(QStringLiteral("body")).toString().toLatin1());
        out.append(r);
    }
    return out;
}

QList<TSiteRequest> TMoodleSite::RequestsTo(const QString& pathPrefix) const
{
    QList<TSiteRequest> out;
    for (const TSiteRequest& r : Requests())
        if (r.Path.startsWith(pathPrefix))
            out.append(r);
    return out;
}

void TMoodleSite::ResetRequests()
{
    Call(QStringLiteral("POST"), QStringLiteral("/__test__/reset"));
}

void TMoodleSite::Configure(const QJsonObject& switches)
{
    Call(QStringLiteral("POST"), QStringLiteral("/__test__/config"), QJsonDocument(switches).toJson(QJsonDocument::Compact));
}
