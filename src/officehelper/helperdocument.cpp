#include "helperdocument.h"

#ifndef LOK_USE_UNSTABLE_API
#define LOK_USE_UNSTABLE_API
#endif
#include <LibreOfficeKit/LibreOfficeKit.hxx>
#include <LibreOfficeKit/LibreOfficeKitEnums.h>

#include <QJsonDocument>

namespace {

// "x, y, w, h[, more]" as LibreOffice writes rectangles.
std::optional<QRect> ParseRect(const QByteArray& text)
{
    const QList<QByteArray> parts = text.split(',');
    if (parts.size() < 4)
        return std::nullopt;
    bool ok[4] = {};
    const qint64 x = parts[0].trimmed().toLongLong(&ok[0]);
    const qint64 y = parts[1].trimmed().toLongLong(&ok[1]);
    const qint64 w = parts[2].trimmed().toLongLong(&ok[2]);
    const qint64 h = parts[3].trimmed().toLongLong(&ok[3]);
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3])
        return std::nullopt;
    // Invalidations of "everything" come as huge widths; keep them in int range.
    auto clamp = [](qint64 v) { return int(std::clamp<qint64>(v, -1000000000, 1000000000)); };
    return QRect(clamp(x), clamp(y), clamp(w), clamp(h));
}

QJsonArray RectJson(const QRect& r)
{
    return QJsonArray{r.x(), r.y(), r.width(), r.height()};
}

// Some callbacks carry JSON with the rectangle inside, depending on features.
QByteArray RectText(const QByteArray& payload)
{
    if (payload.startsWith('{')) {
        const QJsonObject obj = QJsonDocument::fromJson(payload).object();
        return obj.value(QStringLiteral("rectangle")).toString().toUtf8();
    }
    return payload;
}

constexpr int kMaxRects = 24;

} // namespace

THelperDocument::THelperDocument(int id, std::unique_ptr<lok::Document> doc, QString recoveryPath)
    : m_id(id), m_doc(std::move(doc)), m_recoveryPath(std::move(recoveryPath))
{
    m_viewId = m_doc->getView();
}

THelperDocument::~THelperDocument()
{
    Activate();
    m_doc->registerCallback(nullptr, nullptr);
    m_doc.reset();
}

void THelperDocument::Activate()
{
    m_doc->setView(m_viewId);
}

QSize THelperDocument::DocumentSize()
{
    Activate();
    long w = 0, h = 0;
    m_doc->getDocumentSize(&w, &h);
    return QSize(int(w), int(h));
}

void THelperDocument::AddCallback(int type, const QByteArray& payload)
{
    switch (type) {
    case LOK_CALLBACK_INVALIDATE_TILES: {
        if (m_invalidateAll)
            break;
        if (payload.startsWith("EMPTY")) {
            m_invalidateAll = true;
            m_invalid.clear();
            break;
        }
        const auto rect = ParseRect(payload);
        if (!rect || rect->isEmpty())
            break;
        for (const QRect& r : std::as_const(m_invalid))
            if (r.contains(*rect))
                return;
        m_invalid.push_back(*rect);
        if (m_invalid.size() > kMaxRects) {
            QRect all;
            for (const QRect& r : std::as_const(m_invalid))
                all = all.united(r);
            m_invalid = {all};
        }
        break;
    }
    case LOK_CALLBACK_INVALIDATE_VISIBLE_CURSOR: {
        if (const auto rect = ParseRect(RectText(payload)))
            m_cursor = QJsonObject{{"rect", RectJson(*rect)}};
        break;
    }
    case LOK_CALLBACK_CURSOR_VISIBLE:
        m_cursorVisible = payload.trimmed() == "true";
        if (!m_cursor)
            m_cursor = QJsonObject{};
        break;
    case LOK_CALLBACK_TEXT_SELECTION: {
        QJsonArray rects;
        if (!payload.startsWith("EMPTY"))
            for (const QByteArray& part : payload.split(';'))
                if (const auto rect = ParseRect(part))
                    rects.append(RectJson(*rect));
        m_selection = rects;
        break;
    }
    case LOK_CALLBACK_GRAPHIC_SELECTION: {
        const auto rect = payload.startsWith("EMPTY") ? std::nullopt : ParseRect(RectText(payload));
        m_graphic = rect ? RectJson(*rect) : QJsonArray{};
        break;
    }
    case LOK_CALLBACK_STATE_CHANGED: {
        QString name, value;
        if (payload.startsWith('{')) {
            const QJsonObject obj = QJsonDocument::fromJson(payload).object();
            name = obj.value(QStringLiteral("commandName")).toString();
            const QJsonValue state = obj.value(QStringLiteral("state"));
            value = state.isString() ? state.toString()
                                     : QString::fromUtf8(QJsonDocument(state.toObject()).toJson(QJsonDocument::Compact));
        } else {
            const int eq = payload.indexOf('=');
            if (eq < 0)
                break;
            name = QString::fromUtf8(payload.left(eq));
            value = QString::fromUtf8(payload.mid(eq + 1));
        }
        if (name.isEmpty())
            break;
        if (m_stateSent.value(name) == value && !m_statePending.contains(name))
            break;
        m_statePending.insert(name, value);
        break;
    }
    case LOK_CALLBACK_DOCUMENT_SIZE_CHANGED: {
        const QList<QByteArray> parts = payload.split(',');
        if (parts.size() >= 2)
            m_size = QSize(parts[0].trimmed().toInt(), parts[1].trimmed().toInt());
        break;
    }
    case LOK_CALLBACK_UNO_COMMAND_RESULT: {
        const QJsonObject obj = QJsonDocument::fromJson(payload).object();
        const QString name = obj.value(QStringLiteral("commandName")).toString();
        m_unoSuccess.insert(name, obj.value(QStringLiteral("success")).toBool());
        m_unoResults[name] += 1;
        break;
    }
    default:
        // Sidebar, status bar, context menus, view-cursor echoes and the rest
        // mean nothing to a single embedded view.
        break;
    }
}

bool THelperDocument::HasPendingEvents() const
{
    return m_invalidateAll || !m_invalid.isEmpty() || m_cursor || m_selection || m_graphic
        || !m_statePending.isEmpty() || m_size;
}

QVector<QJsonObject> THelperDocument::TakeEvents()
{
    QVector<QJsonObject> events;
    auto event = [this](const char* name) {
        return QJsonObject{{"ev", QString::fromLatin1(name)}, {"doc", m_id}};
    };
    if (m_size) {
        QJsonObject e = event("size");
        e["width"] = m_size->width();
        e["height"] = m_size->height();
        events.push_back(e);
        m_size.reset();
    }
    if (m_invalidateAll || !m_invalid.isEmpty()) {
        QJsonObject e = event("invalidate");
        e["all"] = m_invalidateAll;
        QJsonArray rects;
        for (const QRect& r : std::as_const(m_invalid))
            rects.append(RectJson(r));
        e["rects"] = rects;
        events.push_back(e);
        m_invalidateAll = false;
        m_invalid.clear();
    }
    if (m_cursor) {
        QJsonObject e = event("cursor");
        if (m_cursor->contains("rect"))
            e["rect"] = m_cursor->value("rect");
        e["visible"] = m_cursorVisible;
        events.push_back(e);
        m_cursor.reset();
    }
    if (m_selection) {
        QJsonObject e = event("selection");
        e["rects"] = *m_selection;
        events.push_back(e);
        m_selection.reset();
    }
    if (m_graphic) {
        QJsonObject e = event("graphic");
        e["rect"] = *m_graphic;
        events.push_back(e);
        m_graphic.reset();
    }
    if (!m_statePending.isEmpty()) {
        QJsonObject values;
        for (auto it = m_statePending.cbegin(); it != m_statePending.cend(); ++it) {
            if (m_stateSent.value(it.key()) == it.value() && m_stateSent.contains(it.key()))
                continue;
            values[it.key()] = it.value();
            m_stateSent.insert(it.key(), it.value());
        }
        m_statePending.clear();
        if (!values.isEmpty()) {
            QJsonObject e = event("state");
            e["values"] = values;
            events.push_back(e);
        }
    }
    return events;
}
