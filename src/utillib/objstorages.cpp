#include "utillib/objstorages.h"

#include "utillib/xmlobjectstorage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The wrapper that makes the stored object the value of the property "Obj".
class TObjSaver : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(TPersistent* Obj READ Obj WRITE SetObj)
public:
    explicit TObjSaver(TPersistent* value) : FValue(value) {}
    TPersistent* Obj() const { return FValue; }
    void SetObj(TPersistent* v) { FValue = v; }

private:
    TPersistent* FValue;
};

} // namespace

// ---------------------------------------------------------------- abstract storage

TAbstractObjectStorage::TAbstractObjectStorage(const QStringList*) {}

QString TAbstractObjectStorage::GetOptionValue(const QString& name, const QStringList* options)
{
    if (!options)
        return {};
    for (const QString& line : *options) {
        int eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

void TAbstractObjectStorage::SaveToFile(TPersistent* obj, const QString& fileName)
{
    const QString folder = QFileInfo(fileName).absolutePath();
    if (!QDir().mkpath(folder))
        throw EInOutError(QStringLiteral("Cannot create folder \"%1\"").arg(folder));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(QStringLiteral("Cannot create file \"%1\": %2").arg(fileName, file.errorString()));
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    SaveToStream(obj, &file);
    if (!file.commit())
        throw EInOutError(QStringLiteral("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
}

void TAbstractObjectStorage::LoadFromFile(TPersistent* obj, const QString& fileName)
{
    QFile file(fileName);
    if (!file.exists())
        throw EFileNotFound(QStringLiteral("File \"%1\" not found").arg(fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    LoadFromStream(obj, &file);
}

// ---------------------------------------------------------------- xml storage

TXmlObjectStorage::TXmlObjectStorage(const QStringList* options) : TAbstractObjectStorage(options)
{
    if (options) {
        FXmlRootTag = GetOptionValue(QStringLiteral("RootTag"), options);
        const QString utf8 = GetOptionValue(QStringLiteral("Utf8Enabled"), options).trimmed();
        if (!utf8.isEmpty()) {
            if (utf8.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || utf8 == QLatin1String("1")
                || (utf8.toInt() != 0))
                FUtf8Enabled = true;
            else if (utf8.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0 && utf8 != QLatin1String("0"))
                throw EConvertError(QStringLiteral("'%1' is not a valid boolean value").arg(utf8));
        }
    }
    if (FXmlRootTag.trimmed().isEmpty())
        FXmlRootTag = QStringLiteral("root");
}

QByteArray TXmlObjectStorage::SaveToBytes(TPersistent* obj)
{
    // UTF-8 is both the default and the only encoding written, so
    // Utf8Enabled changes nothing in the bytes.
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child(FXmlRootTag.toUtf8().constData());
    TObjSaver saver(obj);
    TsdXmlObjectWriter().WriteObject(root, &saver);
    return SerializeReadableXml(doc);
}

void TXmlObjectStorage::LoadFromBytes(TPersistent* obj, const QByteArray& bytes)
{
    pugi::xml_document doc;
    ParseXmlDocument(doc, bytes);
    TObjSaver saver(obj);
    TsdXmlObjectReader reader;
    reader.SetIgnoreUnfoundPropties(true);
    reader.ReadObject(doc.document_element(), &saver);
}

void TXmlObjectStorage::SaveToStream(TPersistent* obj, QIODevice* stream)
{
    const QByteArray bytes = SaveToBytes(obj);
    if (stream->write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("Stream write error"));
}

void TXmlObjectStorage::LoadFromStream(TPersistent* obj, QIODevice* stream)
{
    LoadFromBytes(obj, stream->readAll());
}

// ---------------------------------------------------------------- manager

TObjectStorageManager& TObjectStorageManager::GetInstance()
{
    static TObjectStorageManager manager;
    return manager;
}

TObjectStorageManager& ObjectStorageManager()
{
    return TObjectStorageManager::GetInstance();
}

void TObjectStorageManager::RegisterStorage(const QString& type, std::shared_ptr<IObjectStorage> storage)
{
    FRegisteredStorages[type] = std::move(storage);
    if (FRegisteredStorages.size() == 1 && FDefaultStorageType.trimmed().isEmpty())
        FDefaultStorageType = type;
}

void TObjectStorageManager::UnregisterStorage(const QString& type)
{
    FRegisteredStorages.erase(type);
}

std::shared_ptr<IObjectStorage> TObjectStorageManager::GetStorage(const QString& type) const
{
    if (type.isEmpty())
        return GetDefaultStorage();
    auto it = FRegisteredStorages.find(type);
    if (it == FRegisteredStorages.end())
        throw EListError(QStringLiteral("Item not found"));
    return it->second;
}

std::shared_ptr<IObjectStorage> TObjectStorageManager::GetDefaultStorage() const
{
    if (FDefaultStorageType.isEmpty())
        return nullptr;
    auto it = FRegisteredStorages.find(FDefaultStorageType);
    if (it == FRegisteredStorages.end())
        throw EListError(QStringLiteral("Item not found"));
    return it->second;
}

template <class F> bool TObjectStorageManager::Run(const QString& storageType, bool suppressException, F&& op)
{
    try {
        if (FRegisteredStorages.empty())
            throw EObjStorageError(QStringLiteral("No object save/loader registered"));
        std::shared_ptr<IObjectStorage> storage = GetStorage(storageType);
        if (!storage)
            throw EObjStorageError(QStringLiteral("No object save/loader registered"));
        op(*storage);
        return true;
    } catch (const std::exception&) {
        if (!suppressException)
            throw;
        return false;
    }
}

bool TObjectStorageManager::SaveToStream(TPersistent* obj, QIODevice* stream, const QString& storageType, bool suppress)
{
    return Run(storageType, suppress, [&](IObjectStorage& s) { s.SaveToStream(obj, stream); });
}

bool TObjectStorageManager::LoadFromStream(TPersistent* obj, QIODevice* stream, const QString& storageType, bool suppress)
{
    return Run(storageType, suppress, [&](IObjectStorage& s) { s.LoadFromStream(obj, stream); });
}

bool TObjectStorageManager::SaveToFile(TPersistent* obj, const QString& fileName, const QString& storageType, bool suppress)
{
    return Run(storageType, suppress, [&](IObjectStorage& s) { s.SaveToFile(obj, fileName); });
}

bool TObjectStorageManager::LoadFromFile(TPersistent* obj, const QString& fileName, const QString& storageType, bool suppress)
{
    return Run(storageType, suppress, [&](IObjectStorage& s) { s.LoadFromFile(obj, fileName); });
}

#include "objstorages.moc"
