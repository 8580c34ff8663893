// The frames of the word-processor helper's protocol, read by the program
// from the helper and by the helper from the program (both ends use the one
// reader). The bytes are cut into pieces as a socket may deliver them; the
// reader must give exactly the frames an independent reading of the layout
// gives, whatever the cuts, stop for good at the first frame whose sizes or
// header make no sense, and never read past what it was given.
#include "fuzzcommon.h"

#include "officeprotocol.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QtEndian>
#include <vector>

namespace {

using fuzzcommon::Check;
using office_protocol::TFrame;
using office_protocol::TFrameReader;

struct TExpected {
    std::vector<TFrame> frames;
    bool broken = false;
};

// The layout, read with 64-bit sizes: u32 frame length (header length field,
// header and payload), u32 header length, a JSON object, the payload. A frame
// bigger than 512 MB is damage, not a tile.
TExpected ReadLayout(const QByteArray& s)
{
    TExpected e;
    qint64 at = 0;
    while (s.size() - at >= 8) {
        const quint64 frameLength = qFromBigEndian<quint32>(s.constData() + at);
        const quint64 headerLength = qFromBigEndian<quint32>(s.constData() + at + 4);
        if (frameLength > 512u * 1024u * 1024u || headerLength + 4 > frameLength) {
            e.broken = true;
            break;
        }
        if (quint64(s.size() - at) < 4 + frameLength)
            break;
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(s.mid(at + 8, qsizetype(headerLength)), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            e.broken = true;
            break;
        }
        e.frames.push_back({doc.object(), s.mid(at + 8 + qsizetype(headerLength), qsizetype(frameLength - 4 - headerLength))});
        at += qint64(4 + frameLength);
    }
    return e;
}

void Compare(const TExpected& want, const std::vector<TFrame>& got, bool broken)
{
    Check(got.size() == want.frames.size(), "the reader gives exactly the frames of the layout");
    for (size_t i = 0; i < got.size(); ++i) {
        Check(got[i].header == want.frames[i].header, "a frame's header is its own");
        Check(got[i].payload == want.frames[i].payload, "a frame's payload is its own");
    }
    Check(broken == want.broken, "the reader stops at damage, and only there");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte chooses the cuts, the rest is the stream.
    if (size < 1)
        return 0;
    const unsigned cutSeed = data[0];
    const QByteArray stream = fuzzcommon::Bytes(data + 1, size - 1);
    fuzzcommon::TBoundedMemory bounded;
    const TExpected want = ReadLayout(stream);

    // All at once.
    {
        TFrameReader reader;
        reader.Append(stream);
        std::vector<TFrame> got;
        while (auto f = reader.Next())
            got.push_back(std::move(*f));
        Compare(want, got, reader.Broken());
        if (reader.Broken()) {
            // Broken stays broken, whatever follows.
            reader.Append(office_protocol::EncodeFrame(QJsonObject{{"re", 1}}));
            Check(!reader.Next().has_value() && reader.Broken(), "a broken stream gives no more frames");
        }
    }
    // In pieces of varying size, a read after every piece.
    {
        TFrameReader reader;
        std::vector<TFrame> got;
        unsigned state = cutSeed * 2654435761u + 1;
        for (qsizetype at = 0; at < stream.size();) {
            state = state * 1103515245u + 12345u;
            const qsizetype piece = 1 + qsizetype((state >> 16) % (cutSeed % 64 + 1)) * ((state >> 8) % 4 == 0 ? 97 : 1);
            reader.Append(stream.mid(at, piece));
            at += piece;
            while (auto f = reader.Next())
                got.push_back(std::move(*f));
        }
        Compare(want, got, reader.Broken());
    }
    // What the reader gave, written again, reads the same.
    {
        QByteArray again;
        for (const TFrame& f : want.frames)
            again += office_protocol::EncodeFrame(f.header, f.payload);
        TFrameReader reader;
        reader.Append(again);
        std::vector<TFrame> got;
        while (auto f = reader.Next())
            got.push_back(std::move(*f));
        TExpected whole{want.frames, false};
        Compare(whole, got, reader.Broken());
    }
    return 0;
}
