#pragma once

#include "app/dialogs/editpresetsframe.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QRadioButton;
class TFileUploaderConfigPresets;
class TFormAdvMoodleSettings;
class TMoodleSysConfig;

// The site presets editor: title and description, then the site's root
// address, account, password, automatic login and upload method, and the
// advanced paths in their own dialog. Values go into the live site
// configuration when their control loses the focus or is clicked.
class TFrameEditMoodleSysPresets : public TFrameEditPresets {
    Q_OBJECT
public:
    explicit TFrameEditMoodleSysPresets(QWidget* parent = nullptr);
    ~TFrameEditMoodleSysPresets() override;

    TFileUploaderConfigPresets* FileUploaderConfigPresets() const { return FFileUploaderConfigPresets; }
    // Stores the collection and refills the uploader combo box with its titles.
    void SetFileUploaderConfigPresets(TFileUploaderConfigPresets* value);
    TMoodleSysConfig* CurrConfig() const;

    QLineEdit* EditMoodleRootUrl() const { return FEditMoodleRootUrl; }
    QLineEdit* EditMoodleAccount() const { return FEditMoodleAccount; }
    QLineEdit* EditMoodlePassword() const { return FEditMoodlePassword; }
    QCheckBox* CheckBoxAutoLogin() const { return FCheckBoxAutoLogin; }
    QRadioButton* RadioboxUploadByMoodle() const { return FRadioboxUploadByMoodle; }
    QRadioButton* RadioBoxUploadByCustom() const { return FRadioBoxUploadByCustom; }
    QComboBox* ComboBoxCustomUploadMethods() const { return FComboBoxCustomUploadMethods; }
    QPushButton* BtnAdvSettings() const { return FBtnAdvSettings; }
    // Created on first use and kept.
    TFormAdvMoodleSettings* FormAdvMoodleSettings();

protected:
    void ShowPresetDetails(TConfigPreset* preset) override;
    void UpdateControlStates() override;
    void InitFrame() override;

private:
    void EditMoodleRootUrlExit();
    void EditMoodleAccountExit();
    void EditMoodlePasswordExit();
    void CheckBoxAutoLoginClick();
    void RadioboxUploadMethodClick();
    void ComboBoxCustomUploadMethodsExit();
    void BtnAdvSettingsClick();

    TFileUploaderConfigPresets* FFileUploaderConfigPresets = nullptr;
    QLineEdit* FEditMoodleRootUrl = nullptr;
    QLineEdit* FEditMoodleAccount = nullptr;
    QLineEdit* FEditMoodlePassword = nullptr;
    QCheckBox* FCheckBoxAutoLogin = nullptr;
    QRadioButton* FRadioboxUploadByMoodle = nullptr;
    QRadioButton* FRadioBoxUploadByCustom = nullptr;
    QComboBox* FComboBoxCustomUploadMethods = nullptr;
    QPushButton* FBtnAdvSettings = nullptr;
    TFormAdvMoodleSettings* FFormAdvMoodleSettings = nullptr; // child of this frame
};
