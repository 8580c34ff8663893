#pragma once

#include <QString>

// The script texts our browser control runs in its pages.
namespace webscripts {

// A script string literal holding s.
QString Literal(const QString& s);

// An expression that yields the page's element registry, creating it on first
// use: d.reg(node) answers {h, t} (t: the document's token) or null for no
// node; d.node(h, t) answers the node or throws when the handle belongs to
// another document. It lives in the isolated world, out of the page's reach.
QString DomRegistry();

// Makes a script answer {ok: 1, v: value} or {ok: 0, err: text} instead of
// throwing, so the page's error text reaches the caller. The source runs
// through a global eval: its declarations become globals.
QString WrapGlobalEval(const QString& source);
// The same for a function body, called with d (the registry) and a (args).
QString WrapDomCall(const QString& body, const QString& argsJson);

// The document-creation script of the isolated world: reports focus-in and
// click events through the web channel object "vantoliPage". Focus that
// enters a frame is reported as focus on the frame element, seen from the
// parent document.
QString PageBridge();

} // namespace webscripts
