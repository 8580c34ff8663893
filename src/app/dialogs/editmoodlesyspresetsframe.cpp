#include "app/dialogs/editmoodlesyspresetsframe.h"

#include "app/config/appconfigs.h"
#include "app/dialogs/advmoodlesettingsform.h"
#include "app/dialogs/appmessages.h"
#include "app/uploaders/fileuploaderconfigs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

TFrameEditMoodleSysPresets::TFrameEditMoodleSysPresets(QWidget* parent)
    : TFrameEditPresets(parent, TDeferInit{})
{
    setObjectName(QStringLiteral("FrameEditMoodleSysPresets"));
    GroupBoxPresets()->setFixedHeight(160);
    QGroupBox* details = GroupboxDetails();
    QGridLayout* grid = DetailsLayout();

    FEditMoodleRootUrl = new QLineEdit(details);
    FEditMoodleRootUrl->setObjectName(QStringLiteral("EditMoodleRootUrl"));
    FEditMoodleRootUrl->setInputMethodHints(Qt::ImhUrlCharactersOnly);
    FEditMoodleRootUrl->setPlaceholderText(QStringLiteral("https://"));
    FEditMoodleAccount = new QLineEdit(details);
    FEditMoodleAccount->setObjectName(QStringLiteral("EditMoodleAccount"));
    FEditMoodlePassword = new QLineEdit(details);
    FEditMoodlePassword->setObjectName(QStringLiteral("EditMoodlePassword"));
    FEditMoodlePassword->setEchoMode(QLineEdit::Normal); // shown in clear, as the user asked for
    FCheckBoxAutoLogin = new QCheckBox(QStringLiteral("Auto &login on connection"), details);
    FCheckBoxAutoLogin->setObjectName(QStringLiteral("CheckBoxAutoLogin"));
    FRadioboxUploadByMoodle = new QRadioButton(QStringLiteral("&Moodle repository (default)"), details);
    FRadioboxUploadByMoodle->setObjectName(QStringLiteral("RadioboxUploadByMoodle"));
    FRadioBoxUploadByCustom = new QRadioButton(QStringLiteral("Cu&stom method"), details);
    FRadioBoxUploadByCustom->setObjectName(QStringLiteral("RadioBoxUploadByCustom"));
    // Both can be cleared together (no site shown), so they are not exclusive
    // by themselves; the click handler keeps exactly one ticked.
    FRadioboxUploadByMoodle->setAutoExclusive(false);
    FRadioBoxUploadByCustom->setAutoExclusive(false);
    FComboBoxCustomUploadMethods = new QComboBox(details);
    FComboBoxCustomUploadMethods->setObjectName(QStringLiteral("ComboBoxCustomUploadMethods"));
    FComboBoxCustomUploadMethods->setEditable(false);
    FComboBoxCustomUploadMethods->setMinimumContentsLength(16);
    FBtnAdvSettings = new QPushButton(QStringLiteral("&Advanced..."), details);
    FBtnAdvSettings->setObjectName(QStringLiteral("BtnAdvSettings"));
    FBtnAdvSettings->setAutoDefault(false);

    auto* labelUrl = new QLabel(QStringLiteral("Root &URL:"), details);
    labelUrl->setBuddy(FEditMoodleRootUrl);
    auto* labelAccount = new QLabel(QStringLiteral("&Account:"), details);
    labelAccount->setBuddy(FEditMoodleAccount);
    auto* labelPassword = new QLabel(QStringLiteral("&Password:"), details);
    labelPassword->setBuddy(FEditMoodlePassword);
    auto* labelMethod = new QLabel(QStringLiteral("File upload\nmethod:"), details);

    grid->addWidget(labelUrl, 2, 0);
    grid->addWidget(FEditMoodleRootUrl, 2, 1);
    grid->addWidget(labelAccount, 3, 0);
    grid->addWidget(FEditMoodleAccount, 3, 1);
    grid->addWidget(labelPassword, 4, 0);
    grid->addWidget(FEditMoodlePassword, 4, 1);
    grid->addWidget(FCheckBoxAutoLogin, 5, 1);
    auto* methods = new QGridLayout;
    methods->addWidget(FRadioboxUploadByMoodle, 0, 0);
    methods->addWidget(FRadioBoxUploadByCustom, 1, 0);
    methods->addWidget(FComboBoxCustomUploadMethods, 1, 1);
    methods->setColumnStretch(1, 1);
    grid->addWidget(labelMethod, 6, 0, Qt::AlignTop);
    grid->addLayout(methods, 6, 1);
    auto* advanced = new QHBoxLayout;
    advanced->addStretch();
    advanced->addWidget(FBtnAdvSettings);
    grid->addLayout(advanced, 7, 1);
    grid->setRowStretch(8, 1);

    // Tab order as the details read.
    QWidget::setTabOrder(MemoPresetDescription(), FEditMoodleRootUrl);
    QWidget::setTabOrder(FEditMoodleRootUrl, FEditMoodleAccount);
    QWidget::setTabOrder(FEditMoodleAccount, FEditMoodlePassword);
    QWidget::setTabOrder(FEditMoodlePassword, FCheckBoxAutoLogin);
    QWidget::setTabOrder(FCheckBoxAutoLogin, FRadioboxUploadByMoodle);
    QWidget::setTabOrder(FRadioboxUploadByMoodle, FRadioBoxUploadByCustom);
    QWidget::setTabOrder(FRadioBoxUploadByCustom, FComboBoxCustomUploadMethods);
    QWidget::setTabOrder(FComboBoxCustomUploadMethods, FBtnAdvSettings);

    SetExitHandler(FEditMoodleRootUrl, [this] { EditMoodleRootUrlExit(); });
    SetExitHandler(FEditMoodleAccount, [this] { EditMoodleAccountExit(); });
    SetExitHandler(FEditMoodlePassword, [this] { EditMoodlePasswordExit(); });
    SetExitHandler(FComboBoxCustomUploadMethods, [this] { ComboBoxCustomUploadMethodsExit(); });
    for (QWidget* w : std::initializer_list<QWidget*>{FCheckBoxAutoLogin, FRadioboxUploadByMoodle,
                                                      FRadioBoxUploadByCustom, FBtnAdvSettings})
        GuardPress(w);
    connect(FCheckBoxAutoLogin, &QCheckBox::clicked, this,
            [this] { TAppMessages::Guard(this, [this] { CheckBoxAutoLoginClick(); }); });
    for (QRadioButton* r : {FRadioboxUploadByMoodle, FRadioBoxUploadByCustom})
        connect(r, &QRadioButton::clicked, this, [this, r] {
            // A click on the ticked one keeps it ticked; a click on the other
            // moves the tick, as exclusive radio buttons do.
            r->setChecked(true);
            (r == FRadioboxUploadByMoodle ? FRadioBoxUploadByCustom : FRadioboxUploadByMoodle)->setChecked(false);
            TAppMessages::Guard(this, [this] { RadioboxUploadMethodClick(); });
        });
    connect(FBtnAdvSettings, &QPushButton::clicked, this,
            [this] { TAppMessages::Guard(this, [this] { BtnAdvSettingsClick(); }); });

    InitFrame();
}

TFrameEditMoodleSysPresets::~TFrameEditMoodleSysPresets()
{
    DoneFrame();
}

void TFrameEditMoodleSysPresets::InitFrame()
{
    TFrameEditPresets::InitFrame();
    SetPresetsLabelCaption(QStringLiteral("Moodle Sites"));
}

TMoodleSysConfig* TFrameEditMoodleSysPresets::CurrConfig() const
{
    return CurrPreset() ? qobject_cast<TMoodleSysConfig*>(CurrPreset()->Config()) : nullptr;
}

TFormAdvMoodleSettings* TFrameEditMoodleSysPresets::FormAdvMoodleSettings()
{
    if (!FFormAdvMoodleSettings)
        FFormAdvMoodleSettings = new TFormAdvMoodleSettings(this);
    return FFormAdvMoodleSettings;
}

void TFrameEditMoodleSysPresets::SetFileUploaderConfigPresets(TFileUploaderConfigPresets* value)
{
    FFileUploaderConfigPresets = value;
    FComboBoxCustomUploadMethods->clear();
    if (value)
        FComboBoxCustomUploadMethods->addItems(value->PresetTitles());
    FComboBoxCustomUploadMethods->setCurrentIndex(-1);
}

void TFrameEditMoodleSysPresets::ShowPresetDetails(TConfigPreset* preset)
{
    TFrameEditPresets::ShowPresetDetails(preset);
    auto* config = preset ? qobject_cast<TMoodleSysConfig*>(preset->Config()) : nullptr;
    if (config) {
        FEditMoodleRootUrl->setText(config->RootUrl());
        FEditMoodleAccount->setText(config->AccountName());
        FEditMoodlePassword->setText(config->AccountPassword());
        FCheckBoxAutoLogin->setChecked(config->AutoLogin());
        FRadioboxUploadByMoodle->setChecked(config->FileUploadMethod() == TMoodleSysConfig::umMoodle);
        FRadioBoxUploadByCustom->setChecked(config->FileUploadMethod() == TMoodleSysConfig::umCustom);
        FComboBoxCustomUploadMethods->setCurrentIndex(
            FFileUploaderConfigPresets
                ? FFileUploaderConfigPresets->IndexOfItemWithName(config->CustomFileUploaderConfigName(), nullptr)
                : -1);
        FComboBoxCustomUploadMethods->setEnabled(FRadioBoxUploadByCustom->isChecked());
    } else {
        FEditMoodleRootUrl->clear();
        FEditMoodleAccount->clear();
        FEditMoodlePassword->clear();
        FCheckBoxAutoLogin->setChecked(false);
        FRadioboxUploadByMoodle->setChecked(false);
        FRadioBoxUploadByCustom->setChecked(false);
        FComboBoxCustomUploadMethods->setCurrentIndex(-1);
        FComboBoxCustomUploadMethods->setEnabled(false);
    }
}

void TFrameEditMoodleSysPresets::UpdateControlStates()
{
    TFrameEditPresets::UpdateControlStates();
    FBtnAdvSettings->setEnabled(CurrConfig() != nullptr);
}

void TFrameEditMoodleSysPresets::EditMoodleRootUrlExit()
{
    if (CurrPreset())
        AssignDetailValue(FEditMoodleRootUrl, QStringLiteral("text"), QStringLiteral("RootUrl"), CurrConfig());
}

void TFrameEditMoodleSysPresets::EditMoodleAccountExit()
{
    if (CurrPreset())
        AssignDetailValue(FEditMoodleAccount, QStringLiteral("text"), QStringLiteral("AccountName"), CurrConfig());
}

void TFrameEditMoodleSysPresets::EditMoodlePasswordExit()
{
    if (CurrPreset())
        AssignDetailValue(FEditMoodlePassword, QStringLiteral("text"), QStringLiteral("AccountPassword"), CurrConfig());
}

void TFrameEditMoodleSysPresets::CheckBoxAutoLoginClick()
{
    if (CurrConfig())
        AssignDetailValue(FCheckBoxAutoLogin, QStringLiteral("checked"), QStringLiteral("AutoLogin"), CurrConfig());
}

void TFrameEditMoodleSysPresets::RadioboxUploadMethodClick()
{
    if (TMoodleSysConfig* config = CurrConfig())
        config->SetFileUploadMethod(FRadioboxUploadByMoodle->isChecked() ? TMoodleSysConfig::umMoodle
                                                                          : TMoodleSysConfig::umCustom);
    FComboBoxCustomUploadMethods->setEnabled(FRadioBoxUploadByCustom->isChecked());
}

void TFrameEditMoodleSysPresets::ComboBoxCustomUploadMethodsExit()
{
    if (!CurrConfig())
        return;
    const int index = FComboBoxCustomUploadMethods->currentIndex();
    QString value;
    if (FFileUploaderConfigPresets && index >= 0 && index < FFileUploaderConfigPresets->Count())
        value = FFileUploaderConfigPresets->Presets(index)->Name();
    AssignDetailValue(FComboBoxCustomUploadMethods, QVariant(value), QStringLiteral("CustomFileUploaderConfigName"),
                      CurrConfig());
}

void TFrameEditMoodleSysPresets::BtnAdvSettingsClick()
{
    if (TMoodleSysConfig* config = CurrConfig())
        FormAdvMoodleSettings()->Execute(config);
}
