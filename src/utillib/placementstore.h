#pragma once

#include <QMap>
#include <QString>
#include <functional>

// A small per-user XML store of window placements and other UI values:
// sections (one per window) of named text values, in a file with the root
// element "Configuration". A missing or malformed file means an empty store.
class TXmlPlacementStore {
public:
    // Sets the file and loads it (empty when it is missing or unreadable).
    void SetFileName(const QString& fileName);
    QString FileName() const { return FFileName; }
    void Reload();
    // Writes the file atomically (creating its folder); false on failure.
    bool Flush() const;

    bool HasValue(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    void WriteString(const QString& section, const QString& key, const QString& value);
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    void WriteInteger(const QString& section, const QString& key, int value);
    // True from "TRUE, YES, Y", false from "FALSE, NO, N" (any case).
    bool ReadBoolean(const QString& section, const QString& key, bool defaultValue) const;
    void WriteBoolean(const QString& section, const QString& key, bool value);

    // Called after a write that changed a value, so the owner can schedule
    // a flush instead of writing only at exit.
    void SetOnChanged(std::function<void()> onChanged) { FOnChanged = std::move(onChanged); }

    // Characters that an element name may not hold become "_".
    static QString ElementName(const QString& text);

private:
    QString FFileName;
    QMap<QString, QMap<QString, QString>> FSections;
    std::function<void()> FOnChanged;
};
