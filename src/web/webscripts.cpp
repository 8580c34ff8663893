#include "web/webscripts.h"

#include <QJsonDocument>
#include <QJsonArray>

namespace webscripts {

QString Literal(const QString& s)
{
    // A JSON string literal is a valid script string literal.
    return QString::fromUtf8(QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

QString DomRegistry()
{
    return QStringLiteral(R"JS((window.__vantoliDom || (window.__vantoliDom = (function () {
  var nodes = [null];
  var ids = new WeakMap();
  var token = Date.now().toString(36) + Math.random().toString(36).slice(2);
  return {
    reg: function (n) {
      if (!n) return null;
      var h = ids.get(n);
      if (!h) { h = nodes.length; nodes.push(n); ids.set(n, h); }
      return {h: h, t: token};
    },
    node: function (h, t) {
      if (t !== token || !nodes[h]) throw new Error("The element belongs to a page that is no longer shown");
      return nodes[h];
    }
  };
})())))JS");
}

namespace {
const char* const ErrorText = R"JS(function (e) {
  if (e && typeof e === "object" && "message" in e) return (e.name ? e.name + ": " : "") + e.message;
  return String(e);
})JS";
}

QString WrapGlobalEval(const QString& source)
{
    return QStringLiteral("(function () { try { var r = (0, eval)(%1);"
                          " return r === undefined ? {ok: 1} : {ok: 1, v: r}; }"
                          " catch (e) { return {ok: 0, err: (%2)(e)}; } })()")
        .arg(Literal(source), QString::fromLatin1(ErrorText));
}

QString WrapDomCall(const QString& body, const QString& argsJson)
{
    return QStringLiteral("(function () { try { var r = (function (d, a) { %1 })(%2, %3);"
                          " return r === undefined ? {ok: 1} : {ok: 1, v: r}; }"
                          " catch (e) { return {ok: 0, err: (%4)(e)}; } })()")
        .arg(body, DomRegistry(), argsJson, QString::fromLatin1(ErrorText));
}

QString PageBridge()
{
    return QStringLiteral(R"JS((function () {
  if (window.__vantoliBridge) return;
  var d = %1;
  var page = null, queue = [];
  function send(kind, node) {
    var r = d.reg(node);
    if (!r) return;
    if (page) page.pageEvent(kind, r.h, r.t); else queue.push([kind, r.h, r.t]);
  }
  window.__vantoliBridge = {send: send};
  // Focus inside a frame raises no event in this document; the window only
  // blurs. From then on the focused frame is this document's active element,
  // watched until the window has the focus again (a move from one frame
  // straight into another raises nothing here at all).
  var lastFrame = null, watch = 0;
  function checkFrame() {
    var a = document.activeElement;
    if (a && (a.tagName === "IFRAME" || a.tagName === "FRAME")) {
      if (a !== lastFrame) { lastFrame = a; send("focusin", a); }
    } else {
      lastFrame = null;
    }
  }
  window.addEventListener("focusin", function (e) { lastFrame = null; send("focusin", e.target); }, true);
  window.addEventListener("click", function (e) { send("click", e.target); }, true);
  window.addEventListener("blur", function (e) {
    if (e.target !== window) return;
    setTimeout(checkFrame, 0);
    if (!watch) watch = setInterval(checkFrame, 150);
  }, true);
  window.addEventListener("focus", function (e) {
    if (e.target !== window) return;
    if (watch) { clearInterval(watch); watch = 0; }
  }, true);
  new QWebChannel(qt.webChannelTransport, function (channel) {
    page = channel.objects.vantoliPage;
    var q = queue; queue = [];
    q.forEach(function (m) { page.pageEvent(m[0], m[1], m[2]); });
  });
})();)JS")
        .arg(DomRegistry());
}

} // namespace webscripts
