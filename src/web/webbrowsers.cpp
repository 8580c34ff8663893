#include "web/webbrowsers.h"

#include "utillib/exceptions.h"
#include "web/embeddedwb.h"

#include <QFile>
#include <QFileInfo>

const QString TEmbeddedWBUtil::Boundary = QStringLiteral("---------------------------123456789");

namespace {
const QByteArray CRLF("\r\n");

void SplitLine(const QString& line, QString& name, QString& value)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    name = eq < 0 ? line : line.left(eq);
    value = eq < 0 ? QString() : line.mid(eq + 1);
}
} // namespace

QByteArray TEmbeddedWBUtil::ContentTypeLineOf(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toUpper();
    if (ext == QLatin1String("JPG") || ext == QLatin1String("JPEG"))
        return "Content-Type: image/pjpeg\r\n";
    if (ext == QLatin1String("GIF"))
        return "Content-Type: image/gif\r\n";
    if (ext == QLatin1String("PNG"))
        return "Content-Type: image/x-png\r\n";
    if (ext == QLatin1String("PDF"))
        return "Content-Type: application/pdf\r\n";
    if (ext == QLatin1String("TXT"))
        return "Content-Type: text/plain\r\n";
    if (ext == QLatin1String("HTML"))
        return "Content-Type: text/html\r\n";
    return {};
}

QByteArray TEmbeddedWBUtil::BuildMultipartBody(const QStringList* params, const QStringList* files)
{
    QString name, value;
    QString fieldText;
    if (params) {
        for (const QString& line : *params) {
            SplitLine(line, name, value);
            fieldText += QStringLiteral("--") + Boundary + QStringLiteral("\r\n")
                + QStringLiteral("Content-Disposition: form-data; name=\"%1\"\r\n\r\n%2\r\n").arg(name, value);
        }
    }
    QByteArray body = fieldText.toUtf8();
    if (files) {
        for (const QString& line : *files) {
            SplitLine(line, name, value);
            // Part headers are written in the system's encoding, which is UTF-8 here.
            body += ("--" + Boundary + "\r\n" + "Content-Disposition: form-data; name=\"" + name
                     + "\"; filename=\"" + value + "\"")
                        .toUtf8()
                + CRLF;
            if (value.isEmpty()) {
                body += "Content-Transfer-Encoding: binary\r\n\r\n";
                continue;
            }
            QFile f(value);
            if (!f.open(QIODevice::ReadOnly))
                throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(value, f.errorString()));
            body += ContentTypeLineOf(value) + CRLF;
            body += f.readAll();
            body += CRLF;
        }
    }
    body += ("--" + Boundary + "--").toLatin1() + CRLF;
    return body;
}

QString TEmbeddedWBUtil::MultipartHeaders()
{
    return QStringLiteral("Content-Type: multipart/form-data; boundary=") + Boundary + QStringLiteral("\r\n");
}

QString TEmbeddedWBUtil::UnescapeSlashes(const QString& text)
{
    QString s = text;
    return s.replace(QStringLiteral("\\/"), QStringLiteral("/"));
}

QString TEmbeddedWBUtil::BrowserPost(TEmbeddedWB* browser, const QString& url, const QStringList* params,
                                     const QStringList* files)
{
    const QByteArray body = BuildMultipartBody(params, files);
    browser->Navigate(url, body, MultipartHeaders());
    if (!TEmbeddedWB::WaitForReadyState(browser, TEmbeddedWB::rsInteractive, false))
        return {};
    if (!TEmbeddedWB::WaitForReadyState(browser, TEmbeddedWB::rsComplete, true))
        return {};
    // The body's text in one call to the page: this runs once per uploaded file.
    const QVariant text = browser->DomCall(QStringLiteral("return document.body ? document.body.innerText : '';"), {});
    return UnescapeSlashes(text.toString());
}

bool TEmbeddedWBUtil::OpenUrlAndWait(TEmbeddedWB* browser, const QString& url)
{
    browser->Navigate(url);
    return TEmbeddedWB::WaitForReadyState(browser, TEmbeddedWB::rsComplete, true);
}

bool TEmbeddedWBUtil::RefreshAndWait(TEmbeddedWB* browser)
{
    browser->Refresh();
    return TEmbeddedWB::WaitForReadyState(browser, TEmbeddedWB::rsComplete, true);
}
