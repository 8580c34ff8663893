#pragma once

#include <QFrame>

class QCheckBox;
class QComboBox;
class TGeneralConfig;

// The "General" page: the skin, the two effect switches and when the Word
// editor opens by itself. Each change is stored and applied to the running
// program at once.
class TFrameGeneralSettings : public QFrame {
    Q_OBJECT
public:
    explicit TFrameGeneralSettings(QWidget* parent = nullptr);

    TGeneralConfig* Config() const { return FConfig; }
    // Stores the object and shows its values.
    void SetConfig(TGeneralConfig* value);

    QComboBox* ComboBoxSkins() const { return FComboBoxSkins; }
    QCheckBox* CheckBoxEnableWindowAnimation() const { return FCheckBoxEnableWindowAnimation; }
    QCheckBox* CheckBoxEnableControlEffects() const { return FCheckBoxEnableControlEffects; }
    QComboBox* ComboBoxAutoOpenWordOccasion() const { return FComboBoxAutoOpenWordOccasion; }

private:
    void ComboBoxSkinsChange();
    void CheckBoxEnableWindowAnimationClick();
    void CheckBoxEnableControlEffectsClick();
    void ComboBoxAutoOpenWordOccasionChange();

    TGeneralConfig* FConfig = nullptr;
    QComboBox* FComboBoxSkins;
    QCheckBox* FCheckBoxEnableWindowAnimation;
    QCheckBox* FCheckBoxEnableControlEffects;
    QComboBox* FComboBoxAutoOpenWordOccasion;
};
