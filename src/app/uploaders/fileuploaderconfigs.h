#pragma once

#include "utillib/configutils.h"

#include <memory>

// The uploader presets: flexible presets whose settings class (a
// TFileUploaderConfig descendant) is stored by class name.
class TFileUploaderConfigPresets : public TFlexConfigPresets {
    Q_OBJECT
public:
    // Makes sure the registered uploader types have put their settings
    // classes into the class registry, so stored presets find them by name.
    Q_INVOKABLE TFileUploaderConfigPresets();
};

// The content of "uploaders.cfg".
class TFileUploaderPresetsConfig : public TConfig {
    Q_OBJECT
    Q_PROPERTY(TFileUploaderConfigPresets* Presets READ Presets WRITE SetPresets)
public:
    Q_INVOKABLE explicit TFileUploaderPresetsConfig(QObject* parent = nullptr);
    ~TFileUploaderPresetsConfig() override;
    TFileUploaderConfigPresets* Presets();
    void SetPresets(TFileUploaderConfigPresets* value);
    void SetDefaultValues() override;

private:
    std::unique_ptr<TFileUploaderConfigPresets> FPresets;
};

// The program's one uploader presets object, created on first call.
TFileUploaderPresetsConfig* FileUploaderPresetsConfig();
