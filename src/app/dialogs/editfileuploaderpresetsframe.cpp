#include "app/dialogs/editfileuploaderpresetsframe.h"

#include "app/config/appconfigs.h"
#include "app/dialogs/appmessages.h"
#include "app/dialogs/propertyinspector.h"
#include "app/dialogs/selectfileuploadertypeform.h"
#include "app/shell/globaldm.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/fileuploaders.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

TFrameEditFileUploaderPresets::TFrameEditFileUploaderPresets(QWidget* parent)
    : TFrameEditPresets(parent, TDeferInit{})
{
    setObjectName(QStringLiteral("FrameEditFileUploaderPresets"));
    GroupBoxPresets()->setFixedHeight(160);
    QGroupBox* details = GroupboxDetails();
    FInspectorProp = new TPropertyInspector(details);
    auto* label = new QLabel(QStringLiteral("&Properties:"), details);
    label->setBuddy(FInspectorProp);
    DetailsLayout()->addWidget(label, 2, 0, Qt::AlignTop);
    DetailsLayout()->addWidget(FInspectorProp, 2, 1);
    DetailsLayout()->setRowStretch(2, 1);
    QWidget::setTabOrder(MemoPresetDescription(), FInspectorProp);
    InitFrame();
}

TFrameEditFileUploaderPresets::~TFrameEditFileUploaderPresets()
{
    DoneFrame();
}

void TFrameEditFileUploaderPresets::InitFrame()
{
    TFrameEditPresets::InitFrame();
    SetPresetsLabelCaption(QStringLiteral("Uploaders"));
    if (TDmGlobal* dm = DmGlobal())
        dm->AddSkinChangeEventHandler(this, "ApplySkinColors");
}

void TFrameEditFileUploaderPresets::DoneFrame()
{
    if (TDmGlobal* dm = DmGlobal())
        dm->RemoveSkinChangeEventHandler(this, "ApplySkinColors");
}

TFileUploaderConfigPresets* TFrameEditFileUploaderPresets::UploaderConfigPresets() const
{
    return qobject_cast<TFileUploaderConfigPresets*>(ConfigPresets());
}

void TFrameEditFileUploaderPresets::SetUploaderConfigPresets(TFileUploaderConfigPresets* value)
{
    SetConfigPresets(value);
}

TFormSelectFileUploaderType* TFrameEditFileUploaderPresets::FormSelectFileUploaderType()
{
    if (!FFormSelectFileUploaderType)
        FFormSelectFileUploaderType = new TFormSelectFileUploaderType(this);
    return FFormSelectFileUploaderType;
}

void TFrameEditFileUploaderPresets::ShowPresetDetails(TConfigPreset* preset)
{
    TFrameEditPresets::ShowPresetDetails(preset);
    FInspectorProp->SetInspectObject(preset ? preset->Config() : nullptr);
}

TConfigPreset* TFrameEditFileUploaderPresets::CreateNewPreset()
{
    TFileUploaderConfigPresets* presets = UploaderConfigPresets();
    if (!presets)
        return nullptr;
    TFormSelectFileUploaderType* form = FormSelectFileUploaderType();
    if (!form->Execute(TFileUploaderFactory::UploaderNames()))
        return nullptr;
    const QString type = form->SelectedType();
    const TFileUploaderClass uploaderClass = type.isEmpty() ? TFileUploaderClass{} : TFileUploaderFactory::GetUploaderClass(type);
    if (!uploaderClass || !uploaderClass.GetConfigClass)
        return nullptr;
    TFlexConfigPreset* preset = presets->CreateItem(uploaderClass.GetConfigClass());
    if (auto* config = qobject_cast<TFileUploaderConfig*>(preset->Config()))
        config->SetUploaderName(type);
    return preset;
}

bool TFrameEditFileUploaderPresets::CanDeletePreset(TConfigPreset* preset)
{
    const bool base = TFrameEditPresets::CanDeletePreset(preset);
    if (!base || !FMoodleSysConfigPresets)
        return base;
    const QList<TConfigPreset*> sites = FMoodleSysConfigPresets->GetPresetsOfCustomFileUploaderWithConfigName(preset->Name());
    if (sites.isEmpty())
        return true;
    if (!TAppMessages::Confirm(this, UsedUploaderConfirmText))
        return false;
    for (TConfigPreset* site : sites) {
        if (auto* config = qobject_cast<TMoodleSysConfig*>(site->Config())) {
            config->SetCustomFileUploaderConfigName(QString());
            config->SetFileUploadMethod(TMoodleSysConfig::umMoodle);
        }
    }
    return true;
}

void TFrameEditFileUploaderPresets::ApplySkinColors(QObject* sender)
{
    auto* skinData = qobject_cast<TSkinData*>(sender);
    if (!skinData && DmGlobal())
        skinData = DmGlobal()->SkinDataGlobal();
    if (!skinData)
        return;
    const TSkinColors& c = skinData->Colors();
    TInspectorColors colors;
    colors.Background = c.Window;
    colors.Category = c.ButtonFace;
    colors.UnfocusedSelection = c.ButtonFace;
    colors.FocusedSelection = c.Highlight;
    colors.Text = c.WindowText;
    colors.CategoryText = c.ButtonText;
    colors.SelectedText = c.HighlightText;
    FInspectorProp->SetColors(colors);
}
