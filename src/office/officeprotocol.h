#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <optional>

// The message protocol between the program and its word-processor helper
// (vantoli-office), which runs LibreOfficeKit in a process of its own so that
// the engine can crash, hang or be restarted without taking the program along.
//
// Transport: one QLocalSocket connection; the helper listens once
// LibreOffice is up, the program connects as soon as it can. At start the
// program writes a random token as one line on the helper's standard input
// (never on its command line, which every user can read); the first request
// of a connection must be a hello with that token, or the helper answers
// with a refusal and closes it. The program takes the helper as ready when
// its hello is answered.
//
// Framing: every message is one frame
//     u32 frameLength   (big endian; the bytes that follow, header + payload)
//     u32 headerLength  (big endian)
//     header            (compact UTF-8 JSON object)
//     payload           (frameLength - 4 - headerLength raw bytes, often none)
//
// Requests (program -> helper): {"id": n, "op": "<name>", ...arguments}.
//   id 0 asks for no reply (input events); every other id gets exactly one
//   reply, in the order the requests were sent.
// Replies (helper -> program): {"re": n, "ok": true, ...results} or
//   {"re": n, "ok": false, "error": "<LibreOffice's error text>"}.
// Events (helper -> program, unsolicited): {"ev": "<name>", "doc": d, ...}.
//
// Operations ("doc" is a document id chosen by the program, so that a
// restarted helper can take the same document back under the same id):
//   hello    {token}                   -> {"initMs"}
//   new      {doc, recovery}           -> {"width","height"} (twips)
//   open     {doc, path, recovery, readOnly} -> {"width","height"}
//   close    {doc}                     (the recovery copy is deleted)
//   uno      {doc, command, args, wait} -> {"success"}   args: JSON text of
//            LibreOffice's typed arguments; wait: block until
//            UNO_COMMAND_RESULT arrived. Only commands that need no dialog
//            are taken (formatting, lists, indent, undo, cursor moves; table,
//            picture, style, font and colour only with their arguments)
//   key      {doc, type, char, code}   LibreOfficeKit key event (id 0); keys
//            that would open a dialog (F-keys, Alt menus, Ctrl+K/P/Q...) are
//            dropped
//   mouse    {doc, type, x, y, count, buttons, modifiers} (twips, id 0)
//   textinput {doc, type, text}        IME composition / commit (id 0)
//   visible  {doc, x, y, width, height} the part the view shows (twips, id 0)
//   tile     {doc, x, y, tw, th, w, h} -> payload: w*h*4 bytes, BGRA
//            premultiplied (QImage::Format_ARGB32_Premultiplied), rows of w*4
//   size     {doc}                     -> {"width","height"}
//   selectall {doc}
//   copy     {doc, cut}                -> {"mimes":[...], "sizes":[...]};
//            payload: the clipboard streams one after another
//   paste    {doc, mime}; payload: the data in that mime type
//   text     {doc}                     -> {"text"} the plain text, paragraphs
//            separated by "\n"
//   insertafter {doc, text}            appends text at the end of the content
//   paracount {doc}                    -> {"count"}
//   deletepara {doc, index}            1-based paragraph index
//   saveas   {doc, path, format, options} format: LibreOfficeKit short name
//            ("html", "docx", "doc", "odt", "rtf", "txt", "pdf")
//   stats                              -> {"callbacks","events"} counters
//   crash                              the helper aborts (tests of recovery)
//   stall    {ms}                      the helper sleeps (tests of time-outs)
//            (crash and stall exist only in the helper the tests build)
//   quit                               replies, then the helper exits
//
// Events (already filtered: one frame per kind and document per flush, about
// every 15 ms, instead of the hundreds of callbacks one edit produces):
//   invalidate {doc, all: bool, rects: [[x,y,w,h],...]}
//   cursor     {doc, rect: [x,y,w,h], visible: bool}
//   selection  {doc, rects: [[x,y,w,h],...]}
//   graphic    {doc, rect: [x,y,w,h]} (empty rect: no picture selected)
//   state      {doc, values: {".uno:Bold": "true", ...}} only changed values
//   size       {doc, width, height}
//   recovery   {doc, path} the recovery copy has just been written
namespace office_protocol {

// Numbers shared by both sides.
constexpr int kTileTwips100 = 15;   // twips per pixel at 100 % (1440 / 96)

QByteArray EncodeFrame(const QJsonObject& header, const QByteArray& payload = {});

struct TFrame {
    QJsonObject header;
    QByteArray payload;
};

// Collects bytes from the socket and hands out complete frames.
class TFrameReader {
public:
    void Append(const QByteArray& bytes) { m_buffer.append(bytes); }
    // The next complete frame, or nothing yet. A frame whose sizes make no
    // sense sets Broken(): the stream can no longer be trusted.
    std::optional<TFrame> Next();
    bool Broken() const { return m_broken; }

private:
    QByteArray m_buffer;
    bool m_broken = false;
};

} // namespace office_protocol
