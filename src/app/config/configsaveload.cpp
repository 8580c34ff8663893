#include "app/config/configsaveload.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "utillib/filepathutils.h"
#include "utillib/objstorages.h"

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
    AppConfig()->SaveToFile(folder + MainConfigFileName, QStringLiteral("xml"));
    FileUploaderPresetsConfig()->SaveToFile(folder + UploadersConfigFileName, QStringLiteral("xml"));
}
