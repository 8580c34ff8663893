#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TEmbeddedWB;

// Form posts and page waits through a browser control. Field and file lists
// are "name=value" lines (the name ends at the first "="), in body order.
class TEmbeddedWBUtil {
public:
    // "---------------------------123456789"
    static const QString Boundary;

    // Posts the fields and files as multipart/form-data through the browser,
    // so the request carries its cookies; waits (pumping the event loop)
    // until the answer page is complete and answers the page body's text
    // with every "\/" reduced to "/". The answer replaces the shown page.
    // A file that cannot be read raises EInOutError before anything is sent.
    static QString BrowserPost(TEmbeddedWB* browser, const QString& url, const QStringList* params,
                               const QStringList* files);
    static bool OpenUrlAndWait(TEmbeddedWB* browser, const QString& url);
    static bool RefreshAndWait(TEmbeddedWB* browser);

    // The pieces of a post, usable without a page.
    static QByteArray BuildMultipartBody(const QStringList* params, const QStringList* files);
    static QString MultipartHeaders(); // "Content-Type: multipart/form-data; boundary=<B>\r\n"
    // The part header line for a file's extension ("" for unknown ones).
    static QByteArray ContentTypeLineOf(const QString& path);
    // The filename of a file part: the file's name without its folder.
    static QString PartFileName(const QString& path);
    static QString UnescapeSlashes(const QString& text);
};
