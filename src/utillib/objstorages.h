#pragma once

#include "utillib/persistent.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

// Raised for "No object save/loader registered".
class EObjStorageError : public Exception { using Exception::Exception; };

// One storage format: turns a persisted object into bytes and back.
class IObjectStorage {
public:
    virtual ~IObjectStorage() = default;
    virtual void SaveToStream(TPersistent* obj, QIODevice* stream) = 0;
    virtual void LoadFromStream(TPersistent* obj, QIODevice* stream) = 0;
    virtual void SaveToFile(TPersistent* obj, const QString& fileName) = 0;
    virtual void LoadFromFile(TPersistent* obj, const QString& fileName) = 0;
};

class TAbstractObjectStorage : public IObjectStorage {
public:
    // options: lines of the form name=value, or none.
    explicit TAbstractObjectStorage(const QStringList* options = nullptr);
    // Creates missing folders, then writes the file atomically (a new file in
    // the same folder, flushed to disk, renamed over the old one) with access
    // for the owner only: a failed save leaves the old file as it was, and the
    // files may hold passwords.
    void SaveToFile(TPersistent* obj, const QString& fileName) override;
    // Raises EFileNotFound "File "<name>" not found" when there is no file.
    void LoadFromFile(TPersistent* obj, const QString& fileName) override;

protected:
    static QString GetOptionValue(const QString& name, const QStringList* options);
};

// The "xml" format: the object wrapped as the property "Obj" of a root element.
class TXmlObjectStorage : public TAbstractObjectStorage {
public:
    explicit TXmlObjectStorage(const QStringList* options = nullptr);
    void SaveToStream(TPersistent* obj, QIODevice* stream) override;
    void LoadFromStream(TPersistent* obj, QIODevice* stream) override;

    QString XmlRootTag() const { return FXmlRootTag; }
    void SetXmlRootTag(const QString& v) { FXmlRootTag = v; }
    bool Utf8Enabled() const { return FUtf8Enabled; }
    void SetUtf8Enabled(bool v) { FUtf8Enabled = v; }

    // The same document as bytes, for callers that hold no stream.
    QByteArray SaveToBytes(TPersistent* obj);
    void LoadFromBytes(TPersistent* obj, const QByteArray& bytes);

private:
    QString FXmlRootTag = QStringLiteral("root");
    bool FUtf8Enabled = false;
};

// Storage formats by name (case-sensitive). One manager per program.
class TObjectStorageManager {
public:
    static TObjectStorageManager& GetInstance();

    void RegisterStorage(const QString& type, std::shared_ptr<IObjectStorage> storage);
    void UnregisterStorage(const QString& type);
    // Empty type: the default storage. An unknown name raises EListError "Item not found".
    std::shared_ptr<IObjectStorage> GetStorage(const QString& type) const;
    std::shared_ptr<IObjectStorage> GetDefaultStorage() const;
    QString DefaultStorageType() const { return FDefaultStorageType; }
    void SetDefaultStorageType(const QString& v) { FDefaultStorageType = v; }

    // True on success; false on a failure that suppressException swallowed.
    bool SaveToStream(TPersistent* obj, QIODevice* stream, const QString& storageType, bool suppressException);
    bool LoadFromStream(TPersistent* obj, QIODevice* stream, const QString& storageType, bool suppressException);
    bool SaveToFile(TPersistent* obj, const QString& fileName, const QString& storageType, bool suppressException);
    bool LoadFromFile(TPersistent* obj, const QString& fileName, const QString& storageType, bool suppressException);

    TObjectStorageManager() = default;

private:
    template <class F> bool Run(const QString& storageType, bool suppressException, F&& op);
    std::map<QString, std::shared_ptr<IObjectStorage>> FRegisteredStorages;
    QString FDefaultStorageType;
};

TObjectStorageManager& ObjectStorageManager();
