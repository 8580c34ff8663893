#include "officeclipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QMimeData>

TOfficeClipboard::TPasteData TOfficeClipboard::FromSystem()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return {};
    if (mime->hasHtml())
        return {QStringLiteral("text/html"), mime->html().toUtf8()};
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.isNull() && image.save(&buffer, "PNG"))
            return {QStringLiteral("image/png"), png};
    }
    if (mime->hasText())
        return {QStringLiteral("text/plain;charset=utf-8"), mime->text().toUtf8()};
    return {};
}

std::unique_ptr<QMimeData> TOfficeClipboard::ToMimeData(const QJsonObject& header, const QByteArray& payload)
{
    auto data = std::make_unique<QMimeData>();
    const QJsonArray mimes = header.value("mimes").toArray();
    const QJsonArray sizes = header.value("sizes").toArray();
    qsizetype offset = 0;
    for (qsizetype i = 0; i < mimes.size() && i < sizes.size(); ++i) {
        const qsizetype size = qsizetype(sizes[i].toDouble());
        if (size < 0 || offset + size > payload.size())
            break;
        const QByteArray bytes = payload.mid(offset, size);
        offset += size;
        const QString mime = mimes[i].toString();
        if (mime == QLatin1String("text/html"))
            data->setHtml(QString::fromUtf8(bytes));
        else if (mime.startsWith(QLatin1String("text/plain")))
            data->setText(QString::fromUtf8(bytes));
        else if (mime == QLatin1String("image/png")) {
            QImage image;
            if (image.loadFromData(bytes, "PNG"))
                data->setImageData(image);
        }
    }
    return data;
}

void TOfficeClipboard::ToSystem(const QJsonObject& header, const QByteArray& payload)
{
    QGuiApplication::clipboard()->setMimeData(ToMimeData(header, payload).release());
}
