#include "app/dialogs/generalsettingsframe.h"

#include "app/config/appconfigs.h"
#include "app/dialogs/appmessages.h"
#include "app/shell/globaldm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

TFrameGeneralSettings::TFrameGeneralSettings(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("FrameGeneralSettings"));
    auto* layout = new QVBoxLayout(this);

    auto* appearance = new QGroupBox(QStringLiteral("Appearance"), this);
    auto* appearanceLayout = new QGridLayout(appearance);
    FComboBoxSkins = new QComboBox(appearance);
    FComboBoxSkins->setObjectName(QStringLiteral("ComboBoxSkins"));
    FComboBoxSkins->setEditable(false);
    FComboBoxSkins->addItems(TDmGlobal::SkinNames());
    FComboBoxSkins->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* labelSkin = new QLabel(QStringLiteral("UI &Skin:"), appearance);
    labelSkin->setBuddy(FComboBoxSkins);
    FCheckBoxEnableWindowAnimation = new QCheckBox(QStringLiteral("Enable &Window Animation"), appearance);
    FCheckBoxEnableWindowAnimation->setObjectName(QStringLiteral("CheckBoxEnableWindowAnimation"));
    FCheckBoxEnableControlEffects = new QCheckBox(QStringLiteral("Enable Control &Effects"), appearance);
    FCheckBoxEnableControlEffects->setObjectName(QStringLiteral("CheckBoxEnableControlEffects"));
    appearanceLayout->addWidget(labelSkin, 0, 0);
    appearanceLayout->addWidget(FComboBoxSkins, 0, 1);
    appearanceLayout->addWidget(FCheckBoxEnableWindowAnimation, 1, 0, 1, 2);
    appearanceLayout->addWidget(FCheckBoxEnableControlEffects, 2, 0, 1, 2);
    appearanceLayout->setColumnStretch(2, 1);
    layout->addWidget(appearance);

    auto* wordEditor = new QGroupBox(QStringLiteral("Word Editor"), this);
    auto* wordLayout = new QGridLayout(wordEditor);
    FComboBoxAutoOpenWordOccasion = new QComboBox(wordEditor);
    FComboBoxAutoOpenWordOccasion->setObjectName(QStringLiteral("ComboBoxAutoOpenWordOccasion"));
    FComboBoxAutoOpenWordOccasion->setEditable(false);
    FComboBoxAutoOpenWordOccasion->addItems(TGeneralConfig::AutoOpenWordOccasionTexts());
    // Room for the longest text whatever the skin's frame adds around it.
    int widest = 0;
    for (const QString& text : TGeneralConfig::AutoOpenWordOccasionTexts())
        widest = qMax(widest, FComboBoxAutoOpenWordOccasion->fontMetrics().horizontalAdvance(text));
    FComboBoxAutoOpenWordOccasion->setMinimumWidth(widest + 48);
    auto* labelOccasion = new QLabel(QStringLiteral("&Auto open Word editor on:"), wordEditor);
    labelOccasion->setBuddy(FComboBoxAutoOpenWordOccasion);
    wordLayout->addWidget(labelOccasion, 0, 0);
    wordLayout->addWidget(FComboBoxAutoOpenWordOccasion, 0, 1);
    wordLayout->setColumnStretch(2, 1);
    layout->addWidget(wordEditor);
    layout->addStretch();

    // Only the user's choices act; loading the controls from the settings does not.
    connect(FComboBoxSkins, &QComboBox::activated, this,
            [this] { TAppMessages::Guard(this, [this] { ComboBoxSkinsChange(); }); });
    connect(FCheckBoxEnableWindowAnimation, &QCheckBox::clicked, this,
            [this] { TAppMessages::Guard(this, [this] { CheckBoxEnableWindowAnimationClick(); }); });
    connect(FCheckBoxEnableControlEffects, &QCheckBox::clicked, this,
            [this] { TAppMessages::Guard(this, [this] { CheckBoxEnableControlEffectsClick(); }); });
    connect(FComboBoxAutoOpenWordOccasion, &QComboBox::activated, this,
            [this] { TAppMessages::Guard(this, [this] { ComboBoxAutoOpenWordOccasionChange(); }); });
}

void TFrameGeneralSettings::SetConfig(TGeneralConfig* value)
{
    FConfig = value;
    if (!value)
        return;
    FComboBoxSkins->setCurrentIndex(value->SkinIndex() >= 0 && value->SkinIndex() < FComboBoxSkins->count()
                                        ? value->SkinIndex()
                                        : -1);
    FCheckBoxEnableWindowAnimation->setChecked(value->EnableWindowAnimation());
    FCheckBoxEnableControlEffects->setChecked(value->EnableControlEffects());
    FComboBoxAutoOpenWordOccasion->setCurrentIndex(static_cast<int>(value->AutoOpenWordEditorOn()));
}

void TFrameGeneralSettings::ComboBoxSkinsChange()
{
    const int index = FComboBoxSkins->currentIndex();
    if (FConfig)
        FConfig->SetSkinIndex(index);
    if (TDmGlobal* dm = DmGlobal())
        dm->SetSkinIndex(index);
}

void TFrameGeneralSettings::CheckBoxEnableWindowAnimationClick()
{
    const bool on = FCheckBoxEnableWindowAnimation->isChecked();
    if (FConfig)
        FConfig->SetEnableWindowAnimation(on);
    if (TDmGlobal* dm = DmGlobal())
        dm->SetWindowAnimation(on);
}

void TFrameGeneralSettings::CheckBoxEnableControlEffectsClick()
{
    const bool on = FCheckBoxEnableControlEffects->isChecked();
    if (FConfig)
        FConfig->SetEnableControlEffects(on);
    if (TDmGlobal* dm = DmGlobal())
        dm->SetControlEffects(on);
}

void TFrameGeneralSettings::ComboBoxAutoOpenWordOccasionChange()
{
    const int index = FComboBoxAutoOpenWordOccasion->currentIndex();
    if (FConfig && index >= 0)
        FConfig->SetAutoOpenWordEditorOn(static_cast<TGeneralConfig::TAutoOpenWordOccasion>(index));
}
