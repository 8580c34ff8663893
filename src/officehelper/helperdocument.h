#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QRect>
#include <QString>
#include <QVector>
#include <memory>
#include <optional>

namespace lok {
class Document;
}

// One LibreOffice document open in the helper, with its view, the callbacks
// it produced since the last flush, and its recovery copy.
//
// The callbacks of one edit come in hundreds (invalidations, STATE_CHANGED
// for every toolbar command, sidebar updates). They are folded here into the
// state the program's view needs: the union of invalidated rectangles, the
// last cursor and selection, and only those command states that changed.
class THelperDocument {
public:
    THelperDocument(int id, std::unique_ptr<lok::Document> doc, QString recoveryPath);
    ~THelperDocument();
    THelperDocument(const THelperDocument&) = delete;
    THelperDocument& operator=(const THelperDocument&) = delete;

    int Id() const { return m_id; }
    lok::Document& Doc() { return *m_doc; }
    int ViewId() const { return m_viewId; }
    // Makes this document's view the current one; every call into the
    // document starts with it, because with several documents open a call
    // otherwise lands in whichever view was current last.
    void Activate();

    // Fed on the helper's main thread with the callbacks LibreOffice raised.
    void AddCallback(int type, const QByteArray& payload);
    // Events folded since the last call, ready to be sent; empties the folds.
    QVector<QJsonObject> TakeEvents();
    bool HasPendingEvents() const;

    // UNO_COMMAND_RESULT bookkeeping: results are counted per command name
    // so that a wait can tell its own result from an earlier one.
    int UnoResultCount(const QString& command) const { return m_unoResults.value(command); }
    bool LastUnoSuccess(const QString& command) const { return m_unoSuccess.value(command); }

    // Recovery copy: written after typing pauses and before every export.
    const QString& RecoveryPath() const { return m_recoveryPath; }
    void MarkDirty() { m_dirty = true; }
    bool Dirty() const { return m_dirty; }
    void MarkClean() { m_dirty = false; }

    QSize DocumentSize();   // twips

    // A new document's frame takes commands only after a moment; until the
    // first command went through, a refused dispatch is retried.
    bool Ready() const { return m_ready; }
    void SetReady() { m_ready = true; }

private:
    int m_id;
    std::unique_ptr<lok::Document> m_doc;
    int m_viewId = 0;
    QString m_recoveryPath;
    bool m_dirty = false;
    bool m_ready = false;

    bool m_invalidateAll = false;
    QVector<QRect> m_invalid;
    std::optional<QJsonObject> m_cursor;
    bool m_cursorVisible = true;
    std::optional<QJsonArray> m_selection;
    std::optional<QJsonArray> m_graphic;
    QMap<QString, QString> m_stateSent;
    QMap<QString, QString> m_statePending;
    std::optional<QSize> m_size;
    QMap<QString, int> m_unoResults;
    QMap<QString, bool> m_unoSuccess;
};
