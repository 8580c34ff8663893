#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <memory>

class QMimeData;

// Moves clipboard content between the system clipboard (QClipboard) and the
// word processor, which keeps a clipboard of its own.
class TOfficeClipboard {
public:
    struct TPasteData {
        QString mime;      // as LibreOfficeKit names it
        QByteArray data;
    };

    // The best format the system clipboard offers: HTML, then a picture (as
    // PNG), then plain text. Empty mime when there is nothing to paste.
    static TPasteData FromSystem();
    // The reply of a "copy" request as mime data.
    static std::unique_ptr<QMimeData> ToMimeData(const QJsonObject& header, const QByteArray& payload);
    // Puts the reply of a "copy" request on the system clipboard.
    static void ToSystem(const QJsonObject& header, const QByteArray& payload);
};
