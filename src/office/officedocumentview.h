#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QMap>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QVector>

#include "officeclient.h"

class QLabel;

// Shows one document of the word-processor helper and lets the user write in
// it: tiles painted by LibreOffice and cached here, repainted where the
// helper says the document changed; the text cursor and selection drawn from
// its callbacks; keyboard (with IME), mouse, clipboard, undo and redo passed
// on. Commands of a formatting toolbar go through UnoCommand, and the states
// LibreOffice reports for them come back as CommandStateChanged.
class TOfficeDocumentView : public QAbstractScrollArea {
    Q_OBJECT
public:
    TOfficeDocumentView(TOfficeClient& client, int docId, QWidget* parent = nullptr);
    ~TOfficeDocumentView() override;

    int DocId() const { return m_doc; }
    // 1.0 is 100 %; kept between 0.25 and 4.
    double Zoom() const { return m_zoom; }
    void SetZoom(double zoom);

    // A UNO command with LibreOffice's typed JSON arguments, sent without
    // waiting for its result.
    void UnoCommand(const QString& command, const QByteArray& jsonArgs = {});
    // The last state LibreOffice reported for a command (".uno:Bold" -> "true").
    QString CommandState(const QString& command) const { return m_states.value(command); }

    void Copy();
    void Cut();
    void Paste();
    void Undo();
    void Redo();
    void SelectAll();

    // Where LibreOffice last put the text cursor (twips; empty before it did).
    QRect CursorTwips() const { return m_cursorTwips; }
    // Tiles painted and cached so far (for the tests: not blank means shown).
    int CachedTileCount() const { return int(m_tiles.size()); }
    // The part of the document shown, as an image (what the user sees).
    QImage RenderVisible();

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

Q_SIGNALS:
    void CommandStateChanged(const QString& command, const QString& value);
    // The helper was restarted and the document taken back.
    void DocumentRestored(bool fromRecoveryCopy);
    // A clipboard operation failed; the message is the word processor's.
    void OperationFailed(const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;

private:
    struct TTile {
        QImage image;
        bool stale = false;
        bool pending = false;
    };

    void OnEvent(int doc, const QString& name, const QJsonObject& event);
    void OnRecovered(int doc, bool fromCopy);
    void ResetTiles();
    void UpdateScrollBars();
    void RequestVisibleTiles();
    void RequestTile(const QPoint& tile);
    void InvalidateTwips(const QRect& twips);
    void SendVisibleArea();
    void SendMouse(int type, const QPoint& pos, int count, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
    void SendKey(int type, int charCode, int keyCode);
    // Whether an enabled action of the view's window has this key as its shortcut.
    bool IsWindowShortcut(const QKeyEvent& key) const;
    void EnsureCursorVisible();
    void ShowNotice(const QString& text);
    void ClipboardReply(const TOfficeClient::TReply& reply, bool toSystem);

    // Geometry: the document is a grid of tiles of kTilePx pixels; a tile
    // covers TileTwips() twips at the current zoom.
    int TileTwips() const;
    QPoint Origin() const;                    // document (0,0) in viewport pixels
    QRect TwipsToView(const QRect& twips) const;
    QPoint ViewToTwips(const QPoint& view) const;
    QSize DocPixels() const;

    TOfficeClient& m_client;
    int m_doc;
    double m_zoom = 1.0;
    QSize m_docTwips;
    QHash<QPoint, TTile> m_tiles;
    int m_generation = 0;                     // tiles of an older zoom are dropped
    int m_inFlight = 0;
    QVector<QPoint> m_wanted;
    QRect m_cursorTwips;
    bool m_cursorVisible = true;
    bool m_cursorBlinkOn = true;
    QTimer m_blink;
    QVector<QRect> m_selectionTwips;
    QRect m_graphicTwips;
    QMap<QString, QString> m_states;
    bool m_followCursor = false;
    QString m_preedit;
    QLabel* m_notice = nullptr;
    QTimer m_noticeTimer;
};
