#include "app/wordeditor/sitecontent.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace {

// Formats Qt decodes from pixels alone; SVG and the like can name further
// files and run nothing we could check.
const QStringList& RasterFormats()
{
    static const QStringList formats{"png", "jpeg", "gif", "bmp", "webp"};
    return formats;
}

QString FormatOf(QImageReader& reader)
{
    reader.setDecideFormatFromContent(true);
    const QString format = QString::fromLatin1(reader.format()).toLower();
    if (!RasterFormats().contains(format))
        return {};
    const QImage image = reader.read();
    return image.isNull() ? QString() : format;
}

bool IsInsideFolder(const QString& canonicalPath, const QString& folder)
{
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty())
        return false;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return canonicalPath.startsWith(prefix);
}

// Script pieces shared by the page-side checks. PAGE is replaced by the
// argument that holds the page's address.
const char* const ResolvePrelude = R"JS(
  var doc = n.nodeType === 9 ? n : n.ownerDocument;
  var base = String(doc.baseURI || "");
  // A frame written by script may have no web address of its own: its
  // relative addresses are the page's.
  if (!/^https?:/i.test(base)) base = String(PAGE || "");
  function abs(v) { try { return new URL(String(v).trim(), base).href; } catch (e) { return null; } }
  function loadable(u) { return u !== null && /^(https?|data):/i.test(u); }
)JS";

const char* const RemoveActiveFunction = R"JS(
  function removeActive(root) {
    var removed = 0;
    var dead = root.querySelectorAll("script, meta[http-equiv]");
    for (var i = 0; i < dead.length; i++) { dead[i].parentNode.removeChild(dead[i]); removed++; }
    var all = [root].concat(Array.prototype.slice.call(root.querySelectorAll("*")));
    for (var k = 0; k < all.length; k++) {
      var e = all[k], attrs = Array.prototype.slice.call(e.attributes || []);
      for (var j = 0; j < attrs.length; j++) {
        var name = attrs[j].name.toLowerCase();
        // Browsers skip blanks and control characters inside a scheme.
        var value = String(attrs[j].value).replace(/[\u0000-\u0020\u007f]+/g, "");
        if (name.indexOf("on") === 0 || name === "srcdoc"
            || /^(javascript|vbscript|livescript|mocha):/i.test(value)) {
          e.removeAttribute(attrs[j].name);
          removed++;
        }
      }
    }
    return removed;
  }
)JS";

const char* const FilterForWordBody = R"JS(
  var whole = a[2], map = a[4] || {};
  var content = whole ? doc.documentElement : n;
  var c = content.cloneNode(true);
  var dropped = 0;
  // Addresses the word processor would load by itself.
  var loads = {src: 1, background: 1, poster: 1, data: 1, lowsrc: 1, dynsrc: 1, codebase: 1, "xlink:href": 1};
  function css(text) {
    var lost = 0;
    if (/\\|\/\*/.test(text)) {
      // Escapes and comments are read the way the browser reads them.
      try {
        var sheet = new CSSStyleSheet();
        sheet.replaceSync(text);
        text = Array.prototype.map.call(sheet.cssRules, function (r) { return r.cssText; }).join("\n");
      } catch (e) { text = ""; lost++; }
    }
    text = text.replace(/@import[^;]*(;|$)/gi, function () { lost++; return ""; });
    text = text.replace(/url\(\s*(?:"([^"]*)"|'([^']*)'|([^)]*?))\s*\)/gi, function (m, dq, sq, bare) {
      var v = dq !== undefined ? dq : sq !== undefined ? sq : bare;
      var u = String(v).trim() === "" ? null : abs(v);
      if (loadable(u)) return 'url("' + u.replace(/["\\\n]/g, encodeURIComponent) + '")';
      lost++;
      return "none";
    });
    return [text, lost];
  }
  function styleAttr(text) {
    if (!/\\|\/\*/.test(text)) return text;
    var s = doc.createElement("span");
    s.setAttribute("style", text);
    return s.style.cssText;
  }
  var dead = c.querySelectorAll("noscript, template, base");
  for (var i = 0; i < dead.length; i++) if (dead[i].parentNode) dead[i].parentNode.removeChild(dead[i]);
  removeActive(c);
  var walker = doc.createTreeWalker(c, NodeFilter.SHOW_COMMENT), comments = [];
  while (walker.nextNode()) comments.push(walker.currentNode);
  comments.forEach(function (x) { x.parentNode.removeChild(x); });
  var all = [c].concat(Array.prototype.slice.call(c.querySelectorAll("*")));
  for (var k = 0; k < all.length; k++) {
    var e = all[k], lost = false, tag = e.localName.toLowerCase();
    var attrs = Array.prototype.slice.call(e.attributes);
    for (var j = 0; j < attrs.length; j++) {
      var name = attrs[j].name.toLowerCase(), value = attrs[j].value;
      if (name === "srcset" || name === "imagesrcset") { e.removeAttribute(attrs[j].name); continue; }
      if (name === "style") {
        var r = css(styleAttr(value));
        if (r[1]) { lost = true; e.setAttribute(attrs[j].name, r[0]); }
        continue;
      }
      if (!loads[name] && !(name === "href" && tag !== "a" && tag !== "area")) continue;
      if (String(value).trim() === "") { e.removeAttribute(attrs[j].name); continue; }
      var u = abs(value);
      if (u !== null && Object.prototype.hasOwnProperty.call(map, u)) e.setAttribute(attrs[j].name, map[u]);
      else if (loadable(u)) e.setAttribute(attrs[j].name, u);
      else { e.removeAttribute(attrs[j].name); lost = true; }
    }
    if (tag === "style") {
      var s = css(e.textContent);
      if (s[1]) { lost = true; e.textContent = s[0]; }
    }
    if (lost) dropped++;
  }
  return {html: whole ? c.outerHTML : c.innerHTML, dropped: dropped};
)JS";

QString WithPage(const char* prelude, const QString& pageArg)
{
    return QString::fromLatin1(prelude).replace(QLatin1String("PAGE"), pageArg);
}

} // namespace

bool TSiteContent::IsLoadableAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid()
        && (((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty())
            || scheme == QLatin1String("data"));
}

bool TSiteContent::IsSiteFileAddress(const QUrl& url, const QUrl& root)
{
    if (!url.isValid() || !root.isValid() || root.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    const int defaultPort = scheme == QLatin1String("https") ? 443 : 80;
    if (scheme != root.scheme().toLower() || url.host().compare(root.host(), Qt::CaseInsensitive) != 0
        || url.port(defaultPort) != root.port(defaultPort))
        return false;
    // Dot segments are resolved first: "pluginfile.php/../grade/report" is
    // not a file of the site.
    const QString path = QUrl(url).adjusted(QUrl::NormalizePathSegments).path();
    QString rootPath = root.adjusted(QUrl::NormalizePathSegments).path();
    while (rootPath.endsWith(QLatin1Char('/')))
        rootPath.chop(1);
    if (path.contains(QLatin1String("/../")) || path.endsWith(QLatin1String("/..")))
        return false;
    for (const char* script : {"/draftfile.php", "/pluginfile.php"}) {
        const QString served = rootPath + QLatin1String(script);
        if (path == served || path.startsWith(served + QLatin1Char('/')))
            return true;
    }
    return false;
}

bool TSiteContent::IsImageContentType(const QString& contentType)
{
    return contentType.trimmed().startsWith(QLatin1String("image/"), Qt::CaseInsensitive);
}

qint64 TSiteContent::PictureCap(const QVariant& maxBytes)
{
    bool ok = false;
    const qint64 v = maxBytes.toString().trimmed().toLongLong(&ok);
    return ok && v > 0 ? v : DefaultPictureCap;
}

QString TSiteContent::PictureFormat(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return FormatOf(reader);
}

QString TSiteContent::PictureFileFormat(const QString& path)
{
    QImageReader reader(path);
    return FormatOf(reader);
}

QString TSiteContent::PictureSuffix(const QString& format)
{
    return format == QLatin1String("jpeg") ? QStringLiteral("jpg") : format;
}

QString TSiteContent::UploadRefusal(const QString& path, const QStringList& folders)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    const QString canonical = info.canonicalFilePath();
    const QFileInfo target(canonical);
    if (canonical.isEmpty() || !target.isFile())
        return QStringLiteral("not a regular file");
    bool inside = false;
    for (const QString& folder : folders)
        inside = inside || (!folder.isEmpty() && IsInsideFolder(canonical, folder));
    if (!inside)
        return QStringLiteral("it is not one of the document's own pictures (it lies outside their folder)");
    if (PictureFileFormat(canonical).isEmpty())
        return QStringLiteral("not a picture");
    return {};
}

QString TSiteContent::PictureAddressesScript()
{
    return WithPage(ResolvePrelude, QStringLiteral("a[2]")) + QStringLiteral(R"JS(
  var seen = {}, out = [];
  var imgs = n.querySelectorAll("img[src], input[src]");
  for (var i = 0; i < imgs.length; i++) {
    var s = imgs[i].getAttribute("src");
    if (String(s).trim() === "") continue;
    var u = abs(s);
    if (u !== null && /^https?:/i.test(u) && !seen[u]) { seen[u] = 1; out.push(u); }
  }
  return out;
)JS");
}

QString TSiteContent::FilterForWordScript()
{
    return WithPage(ResolvePrelude, QStringLiteral("a[3]")) + QString::fromLatin1(RemoveActiveFunction)
        + QString::fromLatin1(FilterForWordBody);
}

QString TSiteContent::RemoveActiveContentScript()
{
    return QString::fromLatin1(RemoveActiveFunction) + QStringLiteral(R"JS(
  var root = n.nodeType === 9 ? n.documentElement : n;
  return root ? removeActive(root) : 0;
)JS");
}

QString TSiteContent::StartFetchScript()
{
    return QStringLiteral(R"JS(
  var urls = a[2], cap = a[3], id = String(a[4]);
  var jobs = window.__vantoliFetches || (window.__vantoliFetches = {});
  var job = jobs[id] = {left: urls.length, results: [], xhrs: []};
  urls.forEach(function (u, i) {
    var r = job.results[i] = {url: u, status: 0, type: "", final: "", data: "", error: ""};
    var x = new XMLHttpRequest();
    job.xhrs.push(x);
    function stop(why) { if (!r.error) r.error = why; x.abort(); }
    x.open("GET", u, true);
    x.responseType = "arraybuffer";
    x.timeout = 60000;
    x.onreadystatechange = function () {
      if (x.readyState !== 2) return;
      r.type = x.getResponseHeader("Content-Type") || "";
      var length = Number(x.getResponseHeader("Content-Length") || 0);
      if (!/^\s*image\//i.test(r.type)) stop("type");
      else if (length > cap) stop("size");
    };
    x.onprogress = function (e) { if (e.loaded > cap) stop("size"); };
    x.onloadend = function () {
      r.status = x.status;
      r.final = x.responseURL || "";
      if (!r.error && x.status === 200 && x.response) {
        var b = new Uint8Array(x.response);
        if (b.length > cap) {
          r.error = "size";
        } else {
          var parts = [];
          for (var k = 0; k < b.length; k += 32768)
            parts.push(String.fromCharCode.apply(null, b.subarray(k, k + 32768)));
          r.data = btoa(parts.join(""));
        }
      }
      job.left--;
    };
    x.send();
  });
  return urls.length;
)JS");
}

QString TSiteContent::FetchStateScript()
{
    return QStringLiteral(R"JS(
  var jobs = window.__vantoliFetches || {}, id = String(a[2]), job = jobs[id];
  if (!job) return {gone: true};
  if (a[3]) {
    delete jobs[id];
    job.xhrs.forEach(function (x) { try { x.abort(); } catch (e) {} });
    return {gone: true};
  }
  if (job.left > 0) return {left: job.left};
  delete jobs[id];
  return {results: job.results};
)JS");
}
