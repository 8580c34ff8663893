#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

// The edge between a site and the teacher's computer. Whatever a site
// editor holds may have been written by any user of the site, so:
// - what the word processor is given names no local file (it would load it,
//   show it and, on Done, send it back to the site);
// - what is fetched with the teacher's session is the site's own files, and
//   kept only when it is a picture;
// - what is uploaded is a picture of the document itself;
// - what goes back into the site editor runs nothing.
// The checks that need a page are script texts run in our isolated world,
// which the page cannot tamper with.
class TSiteContent {
public:
    TSiteContent() = delete;

    // The most a fetched site picture may weigh when the page gives no limit.
    static constexpr qint64 DefaultPictureCap = 20 * 1024 * 1024;

    // http(s): and data: addresses; nothing else is handed to the word
    // processor, which would load file: and its own schemes from the disk.
    static bool IsLoadableAddress(const QUrl& url);
    // An address of the site's file-serving scripts (draftfile.php,
    // pluginfile.php) under the root address, with its scheme, host and port.
    static bool IsSiteFileAddress(const QUrl& url, const QUrl& root);
    static bool IsImageContentType(const QString& contentType);
    // The page's maxbytes (number or digits; 0 or less means no limit) as a
    // cap in bytes; DefaultPictureCap when it gives none.
    static qint64 PictureCap(const QVariant& maxBytes);

    // The raster format ("png", "jpeg", "gif", "bmp", "webp") that data or
    // the file decodes as, or empty. Vector pictures are refused: they may
    // name further files themselves.
    static QString PictureFormat(const QByteArray& data);
    static QString PictureFileFormat(const QString& path);
    // The file suffix for a PictureFormat answer.
    static QString PictureSuffix(const QString& format);

    // Whether path may be uploaded as a picture of the document: a regular
    // file whose canonical path (links resolved) lies inside one of the
    // folders, and that decodes as a picture. Empty when it may, else why not.
    static QString UploadRefusal(const QString& path, const QStringList& folders);

    // Script bodies for THtmlNode::Evaluate (n: the node, a[2]...: args).
    //
    // n: the content element of a site editor; a[2]: the page's address, for
    // contents whose document has no web address of its own. Answers the
    // distinct http(s) addresses that its img elements load, resolved.
    static QString PictureAddressesScript();
    // n: as above; a[2]: whole (the content's whole document instead of its
    // children), a[3]: the page's address, a[4]: an object mapping resolved
    // addresses to the addresses of local copies. Answers {html, dropped}:
    // the HTML of a copy in which every address that loads something is
    // absolute http(s) or data: (or a mapped copy), those that would name a
    // local file removed (dropped counts the elements that lost one), and
    // nothing that runs; the content itself is not changed.
    static QString FilterForWordScript();
    // n: any node of the page; a[2]: addresses, a[3]: the cap in bytes,
    // a[4]: a job number. Starts fetching the addresses with the page's
    // session; an answer that is not an image or weighs more than the cap is
    // ended as soon as its headers or size show it.
    static QString StartFetchScript();
    // a[2]: the job number, a[3]: true to end it. Answers {left} while it
    // runs, then once {results: [{url, status, type, final, data (base64),
    // error}]}; {gone} when the page holds no such job.
    static QString FetchStateScript();
    // n: an element or document; removes what would run in a page:
    // script elements, on* attributes, javascript: and like addresses,
    // srcdoc, refreshes. Answers the number of things removed.
    static QString RemoveActiveContentScript();
};
