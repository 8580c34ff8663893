#include "officeprotocol.h"

#include <QJsonDocument>
#include <QtEndian>

namespace office_protocol {

namespace {
// A frame bigger than this is a corrupt stream, not a tile (a 4K tile is 64 MB).
constexpr quint32 kMaxFrame = 512u * 1024u * 1024u;
}

QByteArray EncodeFrame(const QJsonObject& header, const QByteArray& payload)
{
    const QByteArray json = QJsonDocument(header).toJson(QJsonDocument::Compact);
    QByteArray frame;
    frame.resize(8);
    qToBigEndian<quint32>(quint32(4 + json.size() + payload.size()), frame.data());
    qToBigEndian<quint32>(quint32(json.size()), frame.data() + 4);
    frame.append(json);
    frame.append(payload);
    return frame;
}

std::optional<TFrame> TFrameReader::Next()
{
    if (m_broken || m_buffer.size() < 8)
        return std::nullopt;
    const quint32 frameLength = qFromBigEndian<quint32>(m_buffer.constData());
    const quint32 headerLength = qFromBigEndian<quint32>(m_buffer.constData() + 4);
    // In 64 bits: a header length near 4 GB must not wrap round and pass as
    // a short one. A frame shorter than its header length field and header is
    // damage as well.
    if (frameLength > kMaxFrame || quint64(headerLength) + 4 > frameLength) {
        m_broken = true;
        return std::nullopt;
    }
    if (quint32(m_buffer.size()) < 4 + frameLength)
        return std::nullopt;
    TFrame frame;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(m_buffer.mid(8, headerLength), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        m_broken = true;
        return std::nullopt;
    }
    frame.header = doc.object();
    frame.payload = m_buffer.mid(8 + headerLength, frameLength - 4 - headerLength);
    m_buffer.remove(0, 4 + frameLength);
    return frame;
}

} // namespace office_protocol
