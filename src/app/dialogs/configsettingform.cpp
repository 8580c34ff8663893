#include "app/dialogs/configsettingform.h"

#include "app/config/appconfigs.h"
#include "app/config/configsaveload.h"
#include "app/dialogs/editfileuploaderpresetsframe.h"
#include "app/dialogs/editmoodlesyspresetsframe.h"
#include "app/dialogs/generalsettingsframe.h"
#include "app/shell/formplacement.h"
#include "app/shell/globaldm.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "utillib/placementstore.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

TFormConfigSetting::TFormConfigSetting(QWidget* parent, TXmlPlacementStore* store)
    : QDialog(parent), FStore(store ? store : (DmGlobal() ? DmGlobal()->AppXMLFileStorage() : nullptr))
{
    setObjectName(QStringLiteral("FormConfigSetting"));
    setWindowTitle(QStringLiteral("Settings"));
    resize(560, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);

    FPageControlMain = new QTabWidget(this);
    FPageControlMain->setObjectName(QStringLiteral("PageControlMain"));
    FPageControlMain->setUsesScrollButtons(false);
    FFrameGeneralSettings = new TFrameGeneralSettings;
    FFrameEditMoodleSysPresets = new TFrameEditMoodleSysPresets;
    FFrameEditFileUploaderPresets = new TFrameEditFileUploaderPresets;
    const QList<QPair<QWidget*, QString>> pages = {{FFrameGeneralSettings, QStringLiteral("General")},
                                                    {FFrameEditMoodleSysPresets, QStringLiteral("Moodle")},
                                                    {FFrameEditFileUploaderPresets, QStringLiteral("File Uploaders")}};
    int n = 1;
    for (const auto& [frame, caption] : pages) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QStringLiteral("bsSkinTabSheet%1").arg(n++));
        auto* sheetLayout = new QVBoxLayout(sheet);
        sheetLayout->setContentsMargins(4, 4, 4, 4);
        sheetLayout->addWidget(frame);
        FPageControlMain->addTab(sheet, caption);
    }
    FPageControlMain->setCurrentIndex(cpGeneral);
    layout->addWidget(FPageControlMain, 1);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("bsSkinPanel1"));
    panel->setFrameShape(QFrame::NoFrame);
    panel->setFixedHeight(38);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addStretch();
    FBtnOk = new QPushButton(QStringLiteral("&Close"), panel);
    FBtnOk->setObjectName(QStringLiteral("BtnOk"));
    FBtnOk->setAutoDefault(false);
    panelLayout->addWidget(FBtnOk);
    layout->addWidget(panel);

    connect(FBtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(FPageControlMain, &QTabWidget::currentChanged, this, [this](int index) { PageControlMainChange(index); });

    if (FStore)
        FJvFormStorage1 = new TFormPlacement(this, FStore, StorageSection);
}

TFormConfigSetting::~TFormConfigSetting() = default;

void TFormConfigSetting::Execute(int pageIndex)
{
    if (pageIndex >= 0 && pageIndex < FPageControlMain->count())
        FPageControlMain->setCurrentIndex(pageIndex);
    exec();
}

void TFormConfigSetting::BindGeneralPage()
{
    FFrameGeneralSettings->SetConfig(AppConfig()->GeneralConfig());
}

void TFormConfigSetting::BindMoodleSitesPage()
{
    FFrameEditMoodleSysPresets->SetFileUploaderConfigPresets(FileUploaderPresetsConfig()->Presets());
    FFrameEditMoodleSysPresets->SetConfigPresets(AppConfig()->MoodleSysConfigPresets());
    FFrameEditMoodleSysPresets->UpdateConfig();
}

void TFormConfigSetting::BindUploadersPage()
{
    FFrameEditFileUploaderPresets->SetMoodleSysConfigPresets(AppConfig()->MoodleSysConfigPresets());
    FFrameEditFileUploaderPresets->SetConfigPresets(FileUploaderPresetsConfig()->Presets());
    FFrameEditFileUploaderPresets->UpdateConfig();
}

void TFormConfigSetting::PageControlMainChange(int index)
{
    switch (index) {
    case cpGeneral: BindGeneralPage(); break;
    case cpMoodle: BindMoodleSitesPage(); break;
    case cpFileUploaders: BindUploadersPage(); break;
    default: break;
    }
}

void TFormConfigSetting::showEvent(QShowEvent* event)
{
    if (!FExtraValuesRestored) {
        FExtraValuesRestored = true;
        RestoreExtraValues();
    }
    BindGeneralPage();
    BindMoodleSitesPage();
    BindUploadersPage();
    QDialog::showEvent(event);
}

void TFormConfigSetting::hideEvent(QHideEvent* event)
{
    StoreExtraValues();
    QDialog::hideEvent(event);
}

void TFormConfigSetting::RestoreExtraValues()
{
    if (!FStore)
        return;
    if (FStore->HasValue(StorageSection, MoodlePresetsHeightKey))
        FFrameEditMoodleSysPresets->SetPresetsHeight(
            FStore->ReadInteger(StorageSection, MoodlePresetsHeightKey, FFrameEditMoodleSysPresets->PresetsHeight()));
    if (FStore->HasValue(StorageSection, UploaderPresetsHeightKey))
        FFrameEditFileUploaderPresets->SetPresetsHeight(
            FStore->ReadInteger(StorageSection, UploaderPresetsHeightKey, FFrameEditFileUploaderPresets->PresetsHeight()));
}

void TFormConfigSetting::StoreExtraValues()
{
    if (!FStore || !FExtraValuesRestored)
        return;
    FStore->WriteInteger(StorageSection, MoodlePresetsHeightKey, FFrameEditMoodleSysPresets->PresetsHeight());
    FStore->WriteInteger(StorageSection, UploaderPresetsHeightKey, FFrameEditFileUploaderPresets->PresetsHeight());
}

void TFormConfigSetting::done(int result)
{
    if (isVisible()) {
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus != FBtnOk && isAncestorOf(focus)) {
            FBtnOk->setFocus(Qt::OtherFocusReason);
            if (QApplication::focusWidget() != FBtnOk)
                return;
        }
    }
    QDialog::done(result);
}

void TFormConfigSetting::keyPressEvent(QKeyEvent* event)
{
    // There is nothing to cancel: Esc belongs to the controls (it puts a
    // preset's stored values back) and does not close the window.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ExecuteConfigSetting(TFormConfigSetting& form, int pageIndex)
{
    form.Execute(pageIndex);
    TVantoliConfigPersistent::SaveConfigs();
}
