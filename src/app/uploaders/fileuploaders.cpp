#include "app/uploaders/fileuploaders.h"

#include "app/uploaders/ftpfileuploader.h"

TFileUploader::TFileUploader(TFileUploaderConfigClass configClass, QObject* parent)
    : QObject(parent), FConfig(CreateConfig(configClass))
{
}

TFileUploader::~TFileUploader() = default;

void TFileUploader::AssignConfig(TFileUploaderConfig* config)
{
    if (config && config != FConfig.get())
        FConfig->Assign(config);
}

std::map<QString, TFileUploaderClass>& TFileUploaderFactory::Registry()
{
    // Built on first use with the one built-in type, so no start-up order
    // between translation units matters.
    static std::map<QString, TFileUploaderClass> registry = [] {
        std::map<QString, TFileUploaderClass> r;
        TFileUploaderClass ftp = TFileUploaderClass::Of<TFtpFileUploader>();
        r.emplace(QStringLiteral("FTP"), ftp);
        TClassRegistry::Instance().RegisterClass(ftp.GetConfigClass());
        return r;
    }();
    return registry;
}

void TFileUploaderFactory::RegisterUploader(const QString& name, TFileUploaderClass uploader)
{
    auto& r = Registry();
    if (r.count(name))
        throw EFileUploaderException(QStringLiteral("File uploader with name \"%1\" already exists").arg(name));
    r.emplace(name, uploader);
    if (uploader.GetConfigClass)
        TClassRegistry::Instance().RegisterClass(uploader.GetConfigClass());
}

void TFileUploaderFactory::UnregisterUploader(const QString& name)
{
    Registry().erase(name);
}

TFileUploaderClass TFileUploaderFactory::GetUploaderClass(const QString& name)
{
    auto& r = Registry();
    auto it = r.find(name);
    return it == r.end() ? TFileUploaderClass{} : it->second;
}

QStringList TFileUploaderFactory::UploaderNames()
{
    QStringList names;
    for (const auto& [name, cls] : Registry())
        names << name;
    return names;
}

std::unique_ptr<TFileUploader> TFileUploaderFactory::CreateUploader(const QString& name, TFileUploaderConfig* config)
{
    TFileUploaderClass cls = GetUploaderClass(name);
    if (!cls)
        throw EFileUploaderException(QStringLiteral("File uploader \"%1\" is not registered").arg(name));
    std::unique_ptr<TFileUploader> uploader = cls.Create();
    if (config)
        uploader->AssignConfig(config);
    return uploader;
}
