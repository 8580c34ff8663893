#include "app/config/configsaveload.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "utillib/filepathutils.h"
#include "utillib/objstorages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

namespace {

QString WithDelimiter(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

void LoadOne(TConfig* config, const QString& fileName)
{
    QString path = TVantoliConfigPersistent::UserConfigPath() + fileName;
    if (!QFile::exists(path))
        path = TVantoliConfigPersistent::DefaultConfigPath() + fileName;
    if (QFile::exists(path))
        config->LoadFromFile(path, QStringLiteral("xml"));
}

// Saves are scheduled after every change, so most of them find the file as
// it is: those leave the file (and its time stamp) alone.
template <class TConfigRoot>
void SaveOne(TConfigRoot* config, const QString& path)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (ObjectStorageManager().SaveToStream(config, &buffer, QStringLiteral("xml"), true)) {
        QFile existing(path);
        if (existing.open(QIODevice::ReadOnly) && existing.size() == buffer.size() && existing.readAll() == buffer.data())
            return;
    }
    config->SaveToFile(path, QStringLiteral("xml"));
}

} // namespace

QString TVantoliConfigPersistent::UserConfigPath()
{
    return WithDelimiter(TSysFilePathUtil::AppDataPath()) + QStringLiteral("Vantoli/");
}

QString TVantoliConfigPersistent::DefaultConfigPath()
{
    return WithDelimiter(TSysFilePathUtil::CurrAppFilePath()) + QStringLiteral("_default_config/");
}

void TVantoliConfigPersistent::RegisterSaveLoader()
{
    ObjectStorageManager().RegisterStorage(QStringLiteral("xml"), std::make_shared<TXmlObjectStorage>());
}

void TVantoliConfigPersistent::LoadConfigs()
{
    LoadOne(AppConfig(), MainConfigFileName);
    LoadOne(FileUploaderPresetsConfig(), UploadersConfigFileName);
}

void TVantoliConfigPersistent::SaveConfigs()
{
    const QString folder = UserConfigPath();
    QDir().mkpath(folder);
    // The files hold passwords in plain text: the folder is the user's alone.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    SaveOne(AppConfig(), folder + MainConfigFileName);
    SaveOne(FileUploaderPresetsConfig(), folder + UploadersConfigFileName);
}
