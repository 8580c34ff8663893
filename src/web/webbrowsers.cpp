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
    // The registered types: a site that checks the type of an upload knows
    // these, and not the names one old browser once sent.
    static const struct {
        const char* ext;
        const char* type;
    } types[] = {
        {"JPG", "image/jpeg"},  {"JPEG", "image/jpeg"}, {"JPE", "image/jpeg"},  {"PNG", "image/png"},
        {"GIF", "image/gif"},   {"BMP", "image/bmp"},   {"WEBP", "image/webp"}, {"SVG", "image/svg+xml"},
        {"TIF", "image/tiff"},  {"TIFF", "image/tiff"}, {"PDF", "application/pdf"}, {"TXT", "text/plain"},
        {"HTML", "text/html"},  {"HTM", "text/html"},
    };
    const QString ext = QFileInfo(path).suffix().toUpper();
    for (const auto& t : types)
        if (ext == QLatin1String(t.ext))
            return QByteArray("Content-Type: ") + t.type + "\r\n";
    return {};
}

QString TEmbeddedWBUtil::PartFileName(const QString& path)
{
    // The bare name: the site has no business knowing the folders of the
    // user's machine. Quotes and line breaks are escaped the way browsers
    // do, so a name can never end the header or add one of its own.
    QString name = QFileInfo(path).fileName();
    name.replace(QLatin1Char('"'), QStringLiteral("%22"));
    name.replace(QLatin1Char('\r'), QStringLiteral("%0D"));
    name.replace(QLatin1Char('\n'), QStringLiteral("%0A"));
    return name;
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
                     + "\"; filename=\"" + PartFileName(value) + "\"")
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
