#include "officedocumentview.h"
#include "officeclient.h"
#include "officeclipboard.h"
#include "officeerror.h"
#include "officekeys.h"
#include "officeprotocol.h"

#include <QAction>
#include <QInputMethodEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace {

constexpr int kTilePx = 256;
constexpr int kMaxInFlight = 4;
constexpr int kMaxCachedTiles = 160;   // 256x256x4 bytes each, about 40 MB
constexpr int kMarginPx = 12;
// LibreOfficeKit's event and button codes.
constexpr int kKeyInput = 0;
constexpr int kKeyUp = 1;
constexpr int kMouseDown = 0;
constexpr int kMouseUp = 1;
constexpr int kMouseMove = 2;
constexpr int kTextInput = 0;
constexpr int kTextInputEnd = 1;

QRect RectFromJson(const QJsonValue& value)
{
    const QJsonArray a = value.toArray();
    if (a.size() < 4)
        return {};
    return QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt());
}

int LokButtons(Qt::MouseButtons buttons)
{
    int result = 0;
    if (buttons & Qt::LeftButton)
        result |= 1;
    if (buttons & Qt::MiddleButton)
        result |= 2;
    if (buttons & Qt::RightButton)
        result |= 4;
    return result;
}

int LokModifiers(Qt::KeyboardModifiers mods)
{
    int result = 0;
    if (mods & Qt::ShiftModifier)
        result |= TOfficeKeys::kShift;
    if (mods & Qt::ControlModifier)
        result |= TOfficeKeys::kMod1;
    if (mods & Qt::AltModifier)
        result |= TOfficeKeys::kMod2;
    return result;
}

} // namespace

TOfficeDocumentView::TOfficeDocumentView(TOfficeClient& client, int docId, QWidget* parent)
    : QAbstractScrollArea(parent), m_client(client), m_doc(docId)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_docTwips = client.DocumentSize(docId);
    connect(&client, &TOfficeClient::DocumentEvent, this, &TOfficeDocumentView::OnEvent);
    connect(&client, &TOfficeClient::DocumentRecovered, this, &TOfficeDocumentView::OnRecovered);
    m_blink.setInterval(530);
    connect(&m_blink, &QTimer::timeout, this, [this] {
        m_cursorBlinkOn = !m_cursorBlinkOn;
        viewport()->update(TwipsToView(m_cursorTwips).adjusted(-2, -2, 2, 2));
    });
    m_blink.start();

    m_notice = new QLabel(viewport());
    m_notice->setWordWrap(true);
    m_notice->setStyleSheet(QStringLiteral("QLabel { background: #fff3c4; border: 1px solid #c9a400; padding: 6px; color: black; }"));
    m_notice->hide();
    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(15000);
    connect(&m_noticeTimer, &QTimer::timeout, m_notice, &QWidget::hide);
    UpdateScrollBars();
}

TOfficeDocumentView::~TOfficeDocumentView() = default;

int TOfficeDocumentView::TileTwips() const
{
    return std::max(1, int(std::lround(kTilePx * office_protocol::kTileTwips100 / m_zoom)));
}

QSize TOfficeDocumentView::DocPixels() const
{
    const int tt = TileTwips();
    return QSize(int(qint64(m_docTwips.width()) * kTilePx / tt), int(qint64(m_docTwips.height()) * kTilePx / tt));
}

QPoint TOfficeDocumentView::Origin() const
{
    const QSize doc = DocPixels();
    const int vw = viewport()->width();
    const int x = doc.width() + 2 * kMarginPx < vw ? (vw - doc.width()) / 2 : kMarginPx - horizontalScrollBar()->value();
    return QPoint(x, kMarginPx - verticalScrollBar()->value());
}

QRect TOfficeDocumentView::TwipsToView(const QRect& twips) const
{
    const int tt = TileTwips();
    const QPoint o = Origin();
    auto px = [tt](qint64 v) { return int(std::floor(double(v) * kTilePx / tt)); };
    const int x1 = px(twips.left()), y1 = px(twips.top());
    const int x2 = int(std::ceil(double(twips.left() + qint64(twips.width())) * kTilePx / tt));
    const int y2 = int(std::ceil(double(twips.top() + qint64(twips.height())) * kTilePx / tt));
    return QRect(QPoint(o.x() + x1, o.y() + y1), QPoint(o.x() + std::max(x1, x2 - 1), o.y() + std::max(y1, y2 - 1)));
}

QPoint TOfficeDocumentView::ViewToTwips(const QPoint& view) const
{
    const int tt = TileTwips();
    const QPoint p = view - Origin();
    return QPoint(int(qint64(p.x()) * tt / kTilePx), int(qint64(p.y()) * tt / kTilePx));
}

void TOfficeDocumentView::SetZoom(double zoom)
{
    zoom = std::clamp(zoom, 0.25, 4.0);
    if (std::abs(zoom - m_zoom) < 1e-6)
        return;
    // Keep the point in the middle of the view where it is.
    const QPoint centre = ViewToTwips(viewport()->rect().center());
    m_zoom = zoom;
    ResetTiles();
    UpdateScrollBars();
    const QRect c = TwipsToView(QRect(centre, QSize(1, 1)));
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + c.x() - viewport()->width() / 2);
    verticalScrollBar()->setValue(verticalScrollBar()->value() + c.y() - viewport()->height() / 2);
    RequestVisibleTiles();
    viewport()->update();
}

void TOfficeDocumentView::ResetTiles()
{
    ++m_generation;
    m_tiles.clear();
    m_wanted.clear();
    m_inFlight = 0;
}

void TOfficeDocumentView::UpdateScrollBars()
{
    const QSize doc = DocPixels();
    const QSize vp = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, doc.width() + 2 * kMarginPx - vp.width()));
    horizontalScrollBar()->setPageStep(vp.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, doc.height() + 2 * kMarginPx - vp.height()));
    verticalScrollBar()->setPageStep(vp.height());
    verticalScrollBar()->setSingleStep(20);
}

void TOfficeDocumentView::SendVisibleArea()
{
    const QPoint topLeft = ViewToTwips(QPoint(0, 0));
    const QPoint bottomRight = ViewToTwips(QPoint(viewport()->width(), viewport()->height()));
    m_client.Post(QStringLiteral("visible"),
                  QJsonObject{{"doc", m_doc}, {"x", std::max(0, topLeft.x())}, {"y", std::max(0, topLeft.y())},
                              {"width", bottomRight.x() - topLeft.x()}, {"height", bottomRight.y() - topLeft.y()}});
}

void TOfficeDocumentView::RequestVisibleTiles()
{
    if (m_docTwips.isEmpty())
        return;
    const int tt = TileTwips();
    const QPoint a = ViewToTwips(QPoint(0, 0));
    const QPoint b = ViewToTwips(QPoint(viewport()->width(), viewport()->height()));
    const int maxX = (m_docTwips.width() - 1) / tt;
    const int maxY = (m_docTwips.height() - 1) / tt;
    const int x0 = std::clamp(a.x() / tt, 0, maxX), x1 = std::clamp(b.x() / tt, 0, maxX);
    const int y0 = std::clamp(a.y() / tt, 0, maxY), y1 = std::clamp(b.y() / tt, 0, maxY);
    m_wanted.clear();
    QRect visible(QPoint(x0, y0), QPoint(x1, y1));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const auto it = m_tiles.constFind(QPoint(x, y));
            if (it == m_tiles.cend() || (it->stale && !it->pending))
                m_wanted.push_back(QPoint(x, y));
        }
    // Forget tiles far from the view when the cache is full.
    if (m_tiles.size() > kMaxCachedTiles) {
        const QRect keep = visible.adjusted(-2, -2, 2, 2);
        for (auto it = m_tiles.begin(); it != m_tiles.end();)
            it = (!keep.contains(it.key()) && !it->pending) ? m_tiles.erase(it) : std::next(it);
    }
    while (m_inFlight < kMaxInFlight && !m_wanted.isEmpty())
        RequestTile(m_wanted.takeFirst());
}

void TOfficeDocumentView::RequestTile(const QPoint& tile)
{
    const int tt = TileTwips();
    TTile& entry = m_tiles[tile];
    entry.pending = true;
    entry.stale = false;
    ++m_inFlight;
    const int generation = m_generation;
    QJsonObject args{{"doc", m_doc}, {"x", tile.x() * tt}, {"y", tile.y() * tt}, {"tw", tt}, {"th", tt},
                     {"w", kTilePx}, {"h", kTilePx}};
    m_client.CallAsync(QStringLiteral("tile"), args, this, [this, tile, generation](const TOfficeClient::TReply& reply) {
        if (generation != m_generation)
            return;
        m_inFlight = std::max(0, m_inFlight - 1);
        auto it = m_tiles.find(tile);
        if (it != m_tiles.end()) {
            it->pending = false;
            if (reply.ok && reply.payload.size() == qsizetype(kTilePx) * kTilePx * 4) {
                // The helper's pixels are BGRA premultiplied, which is this format.
                it->image = QImage(reinterpret_cast<const uchar*>(reply.payload.constData()), kTilePx, kTilePx,
                                   kTilePx * 4, QImage::Format_ARGB32_Premultiplied)
                                .copy();
            } else {
                m_tiles.erase(it);
            }
        }
        const int tt = TileTwips();
        viewport()->update(TwipsToView(QRect(tile.x() * tt, tile.y() * tt, tt, tt)).adjusted(-1, -1, 1, 1));
        if (reply.ok)
            RequestVisibleTiles();
    });
}

void TOfficeDocumentView::InvalidateTwips(const QRect& twips)
{
    const int tt = TileTwips();
    const int x0 = std::max(0, twips.left() / tt), y0 = std::max(0, twips.top() / tt);
    const qint64 right = qint64(twips.left()) + twips.width(), bottom = qint64(twips.top()) + twips.height();
    const int x1 = int(std::min<qint64>(right / tt, 100000)), y1 = int(std::min<qint64>(bottom / tt, 100000));
    for (auto it = m_tiles.begin(); it != m_tiles.end(); ++it) {
        const QPoint& p = it.key();
        if (p.x() >= x0 && p.x() <= x1 && p.y() >= y0 && p.y() <= y1)
            it->stale = true;
    }
}

void TOfficeDocumentView::OnEvent(int doc, const QString& name, const QJsonObject& event)
{
    if (doc != m_doc)
        return;
    if (name == QLatin1String("invalidate")) {
        if (event.value("all").toBool()) {
            for (TTile& tile : m_tiles)
                tile.stale = true;
        }
        for (const QJsonValue& r : event.value("rects").toArray())
            InvalidateTwips(RectFromJson(r));
        RequestVisibleTiles();
    } else if (name == QLatin1String("size")) {
        m_docTwips = QSize(event.value("width").toInt(), event.value("height").toInt());
        UpdateScrollBars();
        RequestVisibleTiles();
        viewport()->update();
    } else if (name == QLatin1String("cursor")) {
        const QRect old = TwipsToView(m_cursorTwips);
        if (event.contains("rect"))
            m_cursorTwips = RectFromJson(event.value("rect"));
        m_cursorVisible = event.value("visible").toBool(true);
        m_cursorBlinkOn = true;
        m_blink.start();
        viewport()->update(old.adjusted(-2, -2, 2, 2));
        viewport()->update(TwipsToView(m_cursorTwips).adjusted(-2, -2, 2, 2));
        // Only a new position answers the user's input: a visibility change
        // alone can come first and must not use up the follow.
        if (m_followCursor && event.contains("rect")) {
            EnsureCursorVisible();
            m_followCursor = false;
        }
    } else if (name == QLatin1String("selection")) {
        m_selectionTwips.clear();
        for (const QJsonValue& r : event.value("rects").toArray())
            m_selectionTwips.push_back(RectFromJson(r));
        viewport()->update();
    } else if (name == QLatin1String("graphic")) {
        m_graphicTwips = RectFromJson(event.value("rect"));
        viewport()->update();
    } else if (name == QLatin1String("state")) {
        const QJsonObject values = event.value("values").toObject();
        for (auto it = values.begin(); it != values.end(); ++it) {
            m_states.insert(it.key(), it.value().toString());
            Q_EMIT CommandStateChanged(it.key(), it.value().toString());
        }
    }
}

void TOfficeDocumentView::OnRecovered(int doc, bool fromCopy)
{
    if (doc != m_doc)
        return;
    m_docTwips = m_client.DocumentSize(m_doc);
    m_selectionTwips.clear();
    m_graphicTwips = {};
    ResetTiles();
    UpdateScrollBars();
    SendVisibleArea();
    RequestVisibleTiles();
    viewport()->update();
    ShowNotice(fromCopy ? tr("The word processor stopped unexpectedly and was restarted. Your document was restored "
                             "from its recovery copy; the last few seconds of typing may be missing.")
                        : tr("The word processor stopped unexpectedly and was restarted. The document was opened "
                             "again as it was last saved."));
    Q_EMIT DocumentRestored(fromCopy);
}

void TOfficeDocumentView::ShowNotice(const QString& text)
{
    m_notice->setText(text);
    m_notice->setFixedWidth(std::max(200, viewport()->width() - 40));
    m_notice->adjustSize();
    m_notice->move(20, 8);
    m_notice->show();
    m_notice->raise();
    m_noticeTimer.start();
}

void TOfficeDocumentView::EnsureCursorVisible()
{
    const QRect c = TwipsToView(m_cursorTwips);
    const QRect vp = viewport()->rect().adjusted(0, 10, 0, -10);
    if (c.top() < vp.top())
        verticalScrollBar()->setValue(verticalScrollBar()->value() - (vp.top() - c.top()));
    else if (c.bottom() > vp.bottom())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + (c.bottom() - vp.bottom()));
    if (c.left() < 0)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + c.left() - 20);
    else if (c.right() > vp.right())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + c.right() - vp.right() + 20);
}

void TOfficeDocumentView::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), QColor(0xd0, 0xd3, 0xd8));
    if (m_docTwips.isEmpty())
        return;
    const int tt = TileTwips();
    const QRect docRect = TwipsToView(QRect(QPoint(0, 0), m_docTwips));
    // Tiles at the document's edge reach beyond it.
    p.setClipRect(docRect.intersected(event->rect()));
    const QPoint a = ViewToTwips(event->rect().topLeft());
    const QPoint b = ViewToTwips(event->rect().bottomRight());
    for (int y = std::max(0, a.y() / tt); y <= b.y() / tt && y * tt < m_docTwips.height(); ++y)
        for (int x = std::max(0, a.x() / tt); x <= b.x() / tt && x * tt < m_docTwips.width(); ++x) {
            const auto it = m_tiles.constFind(QPoint(x, y));
            if (it == m_tiles.cend() || it->image.isNull())
                continue;
            const QRect target = TwipsToView(QRect(x * tt, y * tt, tt, tt));
            p.drawImage(QRect(target.topLeft(), QSize(kTilePx, kTilePx)), it->image);
        }
    for (const QRect& r : std::as_const(m_selectionTwips))
        p.fillRect(TwipsToView(r), QColor(30, 100, 220, 70));
    if (!m_graphicTwips.isEmpty()) {
        p.setPen(QPen(QColor(30, 100, 220), 1, Qt::DashLine));
        p.drawRect(TwipsToView(m_graphicTwips));
    }
    if (m_cursorVisible && m_cursorBlinkOn && hasFocus() && m_cursorTwips.height() > 0 && m_selectionTwips.isEmpty()) {
        QRect c = TwipsToView(m_cursorTwips);
        c.setWidth(std::max(2, c.width()));
        p.fillRect(c, Qt::black);
    }
    if (!m_preedit.isEmpty()) {
        const QRect c = TwipsToView(m_cursorTwips);
        p.setPen(Qt::black);
        const QRect box(c.left(), c.top(), p.fontMetrics().horizontalAdvance(m_preedit) + 4, c.height());
        p.fillRect(box, QColor(255, 255, 220));
        p.drawText(box, Qt::AlignVCenter, m_preedit);
        p.drawLine(box.bottomLeft(), box.bottomRight());
    }
}

QImage TOfficeDocumentView::RenderVisible()
{
    return viewport()->grab().toImage();
}

void TOfficeDocumentView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    SendVisibleArea();
    RequestVisibleTiles();
    if (m_notice->isVisible())
        m_notice->setFixedWidth(std::max(200, viewport()->width() - 40));
}

void TOfficeDocumentView::scrollContentsBy(int, int)
{
    SendVisibleArea();
    RequestVisibleTiles();
    viewport()->update();
}

void TOfficeDocumentView::SendKey(int type, int charCode, int keyCode)
{
    m_client.Post(QStringLiteral("key"), QJsonObject{{"doc", m_doc}, {"type", type}, {"char", charCode}, {"code", keyCode}});
}

bool TOfficeDocumentView::focusNextPrevChild(bool)
{
    // Tab belongs to the document (indent, next table cell).
    return false;
}

bool TOfficeDocumentView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // While the document has the focus its Ctrl keys go to the word
        // processor, except those the window has an action for (import,
        // export): those are the window's.
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & Qt::ControlModifier) && !IsWindowShortcut(*key)) {
            key->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool TOfficeDocumentView::IsWindowShortcut(const QKeyEvent& key) const
{
    const QKeySequence pressed(key.keyCombination());
    QWidget* top = window();
    if (!top)
        return false;
    QList<QAction*> actions = top->actions();
    actions += top->findChildren<QAction*>();
    for (QAction* a : std::as_const(actions)) {
        if (!a->isEnabled() || a->shortcutContext() == Qt::WidgetShortcut)
            continue;
        for (const QKeySequence& s : a->shortcuts())
            if (s.matches(pressed) == QKeySequence::ExactMatch)
                return true;
    }
    return false;
}

void TOfficeDocumentView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        Cut();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        Paste();
        return;
    }
    if (event->matches(QKeySequence::Undo)) {
        Undo();
        return;
    }
    if (event->matches(QKeySequence::Redo)) {
        Redo();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    if (event->key() == Qt::Key_Plus && event->modifiers() & Qt::ControlModifier) {
        SetZoom(m_zoom * 1.25);
        return;
    }
    if (event->key() == Qt::Key_Minus && event->modifiers() & Qt::ControlModifier) {
        SetZoom(m_zoom / 1.25);
        return;
    }
    const TOfficeKey key = TOfficeKeys::FromQt(*event);
    if (key.charCode == 0 && key.keyCode == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    m_followCursor = true;
    SendKey(kKeyInput, key.charCode, key.keyCode);
    event->accept();
}

void TOfficeDocumentView::keyReleaseEvent(QKeyEvent* event)
{
    const TOfficeKey key = TOfficeKeys::FromQt(*event);
    if (key.charCode == 0 && key.keyCode == 0) {
        QAbstractScrollArea::keyReleaseEvent(event);
        return;
    }
    SendKey(kKeyUp, key.charCode, key.keyCode);
    event->accept();
}

void TOfficeDocumentView::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    const QString preedit = event->preeditString();
    auto post = [this](int type, const QString& text) {
        m_client.Post(QStringLiteral("textinput"), QJsonObject{{"doc", m_doc}, {"type", type}, {"text", text}});
    };
    if (!commit.isEmpty()) {
        // The composition ends with the committed text replacing it.
        post(kTextInput, commit);
        post(kTextInputEnd, commit);
        m_followCursor = true;
    }
    m_preedit = preedit;
    viewport()->update();
    event->accept();
}

QVariant TOfficeDocumentView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle:
        return TwipsToView(m_cursorTwips).translated(viewport()->pos());
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TOfficeDocumentView::SendMouse(int type, const QPoint& pos, int count, Qt::MouseButtons buttons,
                                    Qt::KeyboardModifiers mods)
{
    const QPoint twips = ViewToTwips(pos);
    m_client.Post(QStringLiteral("mouse"),
                  QJsonObject{{"doc", m_doc}, {"type", type}, {"x", twips.x()}, {"y", twips.y()}, {"count", count},
                              {"buttons", LokButtons(buttons)}, {"modifiers", LokModifiers(mods)}});
}

void TOfficeDocumentView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    SendMouse(kMouseDown, event->position().toPoint(), 1, event->button(), event->modifiers());
}

void TOfficeDocumentView::mouseMoveEvent(QMouseEvent* event)
{
    // Without a button held, a move only changes LibreOffice's pointer shape.
    if (event->buttons() == Qt::NoButton)
        return;
    SendMouse(kMouseMove, event->position().toPoint(), 1, event->buttons(), event->modifiers());
}

void TOfficeDocumentView::mouseReleaseEvent(QMouseEvent* event)
{
    SendMouse(kMouseUp, event->position().toPoint(), 1, event->button(), event->modifiers());
}

void TOfficeDocumentView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click selects the word.
    SendMouse(kMouseDown, event->position().toPoint(), 2, event->button(), event->modifiers());
    SendMouse(kMouseUp, event->position().toPoint(), 2, event->button(), event->modifiers());
}

void TOfficeDocumentView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0)
            SetZoom(m_zoom * std::pow(1.1, steps));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void TOfficeDocumentView::UnoCommand(const QString& command, const QByteArray& jsonArgs)
{
    m_client.Post(QStringLiteral("uno"), QJsonObject{{"doc", m_doc}, {"command", command},
                                                      {"args", QString::fromUtf8(jsonArgs)}, {"wait", false}});
    setFocus(Qt::OtherFocusReason);
}

void TOfficeDocumentView::ClipboardReply(const TOfficeClient::TReply& reply, bool toSystem)
{
    if (!reply.ok) {
        Q_EMIT OperationFailed(reply.error);
        return;
    }
    if (toSystem)
        TOfficeClipboard::ToSystem(reply.header, reply.payload);
}

void TOfficeDocumentView::Copy()
{
    m_client.CallAsync(QStringLiteral("copy"), QJsonObject{{"doc", m_doc}}, this,
                       [this](const TOfficeClient::TReply& reply) { ClipboardReply(reply, true); });
}

void TOfficeDocumentView::Cut()
{
    m_client.CallAsync(QStringLiteral("copy"), QJsonObject{{"doc", m_doc}, {"cut", true}}, this,
                       [this](const TOfficeClient::TReply& reply) { ClipboardReply(reply, true); });
}

void TOfficeDocumentView::Paste()
{
    const TOfficeClipboard::TPasteData data = TOfficeClipboard::FromSystem();
    if (data.mime.isEmpty())
        return;
    m_followCursor = true;
    m_client.CallAsync(
        QStringLiteral("paste"), QJsonObject{{"doc", m_doc}, {"mime", data.mime}}, this,
        [this](const TOfficeClient::TReply& reply) { ClipboardReply(reply, false); }, data.data);
}

void TOfficeDocumentView::contextMenuEvent(QContextMenuEvent* event)
{
    // LibreOffice's own context menu needs its dialogs; these are the
    // clipboard and undo commands a user reaches for with the mouse.
    QMenu menu(this);
    menu.addAction(tr("Undo"), this, &TOfficeDocumentView::Undo);
    menu.addAction(tr("Redo"), this, &TOfficeDocumentView::Redo);
    menu.addSeparator();
    menu.addAction(tr("Cut"), this, &TOfficeDocumentView::Cut);
    menu.addAction(tr("Copy"), this, &TOfficeDocumentView::Copy);
    menu.addAction(tr("Paste"), this, &TOfficeDocumentView::Paste);
    menu.addSeparator();
    menu.addAction(tr("Select All"), this, &TOfficeDocumentView::SelectAll);
    menu.exec(event->globalPos());
}

void TOfficeDocumentView::Undo()
{
    UnoCommand(QStringLiteral(".uno:Undo"));
}

void TOfficeDocumentView::Redo()
{
    UnoCommand(QStringLiteral(".uno:Redo"));
}

void TOfficeDocumentView::SelectAll()
{
    UnoCommand(QStringLiteral(".uno:SelectAll"));
}
