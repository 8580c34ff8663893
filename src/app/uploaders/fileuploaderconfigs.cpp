#include "app/uploaders/fileuploaderconfigs.h"

#include "app/uploaders/fileuploaders.h"

TFileUploaderConfigPresets::TFileUploaderConfigPresets()
{
    TFileUploaderFactory::UploaderNames();
}

TFileUploaderPresetsConfig::TFileUploaderPresetsConfig(QObject* parent) : TConfig(parent) {}

TFileUploaderPresetsConfig::~TFileUploaderPresetsConfig() = default;

TFileUploaderConfigPresets* TFileUploaderPresetsConfig::Presets()
{
    if (!FPresets)
        FPresets = std::make_unique<TFileUploaderConfigPresets>();
    return FPresets.get();
}

void TFileUploaderPresetsConfig::SetPresets(TFileUploaderConfigPresets* value)
{
    if (value && value != FPresets.get())
        Presets()->Assign(value);
}

void TFileUploaderPresetsConfig::SetDefaultValues()
{
    TConfig::SetDefaultValues();
    Presets()->SetDefaultValues();
}

TFileUploaderPresetsConfig* FileUploaderPresetsConfig()
{
    static const std::unique_ptr<TFileUploaderPresetsConfig> instance = NewConfig<TFileUploaderPresetsConfig>();
    return instance.get();
}
