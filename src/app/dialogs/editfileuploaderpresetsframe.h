#pragma once

#include "app/dialogs/editpresetsframe.h"

class TFileUploaderConfigPresets;
class TFormSelectFileUploaderType;
class TMoodleSysConfigPresets;
class TPropertyInspector;

// The uploader presets editor: "&New" asks for the uploader type and creates
// a preset whose settings belong to that type; the settings are edited in a
// property inspector. Removing an uploader that sites use asks first and
// switches those sites back to the repository upload.
class TFrameEditFileUploaderPresets : public TFrameEditPresets {
    Q_OBJECT
public:
    explicit TFrameEditFileUploaderPresets(QWidget* parent = nullptr);
    ~TFrameEditFileUploaderPresets() override;

    TMoodleSysConfigPresets* MoodleSysConfigPresets() const { return FMoodleSysConfigPresets; }
    void SetMoodleSysConfigPresets(TMoodleSysConfigPresets* value) { FMoodleSysConfigPresets = value; }
    TFileUploaderConfigPresets* UploaderConfigPresets() const;
    void SetUploaderConfigPresets(TFileUploaderConfigPresets* value);

    TPropertyInspector* InspectorProp() const { return FInspectorProp; }
    // Created on first use and kept.
    TFormSelectFileUploaderType* FormSelectFileUploaderType();

    static inline const QString UsedUploaderConfirmText = QStringLiteral(
        "Current uploader is used by some existed Moodle sites. If current uploader is deleted, those sites will "
        "change to use default upload method instead.\nAre you sure to delete?");

    // Skin-change listener: repaints the inspector in the skin's colours.
    Q_INVOKABLE void ApplySkinColors(QObject* sender);

protected:
    void ShowPresetDetails(TConfigPreset* preset) override;
    TConfigPreset* CreateNewPreset() override;
    bool CanDeletePreset(TConfigPreset* preset) override;
    void InitFrame() override;
    void DoneFrame() override;

private:
    TMoodleSysConfigPresets* FMoodleSysConfigPresets = nullptr;
    TPropertyInspector* FInspectorProp = nullptr;
    TFormSelectFileUploaderType* FFormSelectFileUploaderType = nullptr; // child of this frame
};
