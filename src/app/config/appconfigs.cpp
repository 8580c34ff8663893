#include "app/config/appconfigs.h"

// ---------------------------------------------------------------- TGeneralConfig

void TGeneralConfig::SetDefaultValues()
{
    TConfig::SetDefaultValues();
    FAutoOpenWordEditorOn = owTextOnlyContent;
    FEnableWindowAnimation = true;
    FEnableControlEffects = true;
}

QStringList TGeneralConfig::AutoOpenWordOccasionTexts()
{
    return {QStringLiteral("Empty HTML editor"), QStringLiteral("Empty or text only HTML editor"),
            QStringLiteral("All HTML editor"), QStringLiteral("Never")};
}

// ---------------------------------------------------------------- TMoodleSysConfig

TMoodleSysConfig::TMoodleSysConfig(QObject* parent) : TConfig(parent) {}

TMoodleSysConfig::~TMoodleSysConfig() = default;

void TMoodleSysConfig::SetDefaultValues()
{
    TConfig::SetDefaultValues();
    FLoginPath = QStringLiteral("/login/");
    FRepoUploadPath = QStringLiteral("/repository/repository_ajax.php?action=upload");
}

TSiteBookmarkCollection* TMoodleSysConfig::Bookmarks()
{
    if (!FBookmarks)
        FBookmarks = std::make_unique<TSiteBookmarkCollection>();
    return FBookmarks.get();
}

void TMoodleSysConfig::SetBookmarks(TSiteBookmarkCollection* value)
{
    if (value && value != FBookmarks.get())
        Bookmarks()->Assign(value);
}

TMoodleSysConfig::TMoodleFileUploadMethod TMoodleSysConfig::ActualFileUploadMethod() const
{
    if (FFileUploadMethod == umCustom && FCustomFileUploaderConfigName.isEmpty())
        return umMoodle;
    return FFileUploadMethod;
}

// ---------------------------------------------------------------- site presets

TMoodleSysConfig* TMoodleSysConfigPresets::SiteConfig(int index) const
{
    return static_cast<TMoodleSysConfig*>(Presets(index)->Config());
}

QList<TConfigPreset*> TMoodleSysConfigPresets::GetPresetsOfCustomFileUploaderWithConfigName(const QString& name) const
{
    QList<TConfigPreset*> result;
    for (int i = 0; i < Count(); ++i) {
        TMoodleSysConfig* site = SiteConfig(i);
        if (site && site->FileUploadMethod() == TMoodleSysConfig::umCustom && site->CustomFileUploaderConfigName() == name)
            result << Presets(i);
    }
    return result;
}

// ---------------------------------------------------------------- TAppConfig

TAppConfig::TAppConfig(QObject* parent)
    : TConfig(parent), FMoodleSysConfigPresets(std::make_unique<TMoodleSysConfigPresets>()),
      FGeneralConfig(NewConfig<TGeneralConfig>())
{
}

TAppConfig::~TAppConfig()
{
    FMoodleSysConfigPresets.reset();
    FGeneralConfig.reset();
}

void TAppConfig::SetGeneralConfig(TGeneralConfig* value)
{
    if (value && value != FGeneralConfig.get())
        FGeneralConfig->Assign(value);
}

void TAppConfig::SetMoodleSysConfigPresets(TMoodleSysConfigPresets* value)
{
    if (value && value != FMoodleSysConfigPresets.get())
        FMoodleSysConfigPresets->Assign(value);
}

TMoodleSysConfig* TAppConfig::CurrMoodleSysConfig() const
{
    TConfigPreset* preset = FMoodleSysConfigPresets->CurrPreset();
    return preset ? static_cast<TMoodleSysConfig*>(preset->Config()) : nullptr;
}

TAppConfig* AppConfig()
{
    static const std::unique_ptr<TAppConfig> instance = NewConfig<TAppConfig>();
    return instance.get();
}
