#include "dialogstest.h"

#include "app/config/appconfigs.h"
#include "app/config/configsaveload.h"
#include "app/dialogs/configsettingform.h"
#include "app/dialogs/editfileuploaderpresetsframe.h"
#include "app/dialogs/editmoodlesyspresetsframe.h"
#include "app/dialogs/generalsettingsframe.h"
#include "app/dialogs/propertyinspector.h"
#include "app/dialogs/selectfileuploadertypeform.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "testutil.h"
#include "utillib/placementstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ConfigSettingTest : public DialogsTest {
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        store.SetFileName(dir.filePath("forms.cfg"));
    }
    QTemporaryDir dir;
    TXmlPlacementStore store;
};

} // namespace

TEST_F(ConfigSettingTest, ExecuteChoosesThePageOrKeepsTheLastOne)
{
    TFormConfigSetting form(nullptr, &store);
    EXPECT_EQ(form.windowTitle(), "Settings");
    QTabWidget* pages = form.PageControlMain();
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), "General");
    EXPECT_EQ(pages->tabText(1), "Moodle");
    EXPECT_EQ(pages->tabText(2), "File Uploaders");
    EXPECT_EQ(form.BtnOk()->text(), "&Close");
    EXPECT_EQ(pages->currentIndex(), 0);

    struct Step {
        int pageIndex;
        int switchTo; // -1: no switch while open
        int expectedShown;
    };
    const Step steps[] = {{-1, 2, 0}, {-1, -1, 2}, {1, -1, 1}, {0, -1, 0}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.pageIndex);
        int shown = -2;
        ModalWatcher watcher([&](QWidget* w) {
            auto* dialog = qobject_cast<TFormConfigSetting*>(w);
            ASSERT_NE(dialog, nullptr);
            shown = dialog->PageControlMain()->currentIndex();
            if (s.switchTo >= 0)
                dialog->PageControlMain()->setCurrentIndex(s.switchTo);
            QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
        });
        form.Execute(s.pageIndex);
        EXPECT_FALSE(watcher.TimedOut);
        EXPECT_EQ(shown, s.expectedShown);
    }
}

TEST_F(ConfigSettingTest, NewUploaderIsOfferedOnTheMoodlePageAfterThePageSwitch)
{
    AddSite("School");
    TFormConfigSetting form(nullptr, &store);
    ShowActive(&form);
    TFrameEditMoodleSysPresets* moodle = form.FrameEditMoodleSysPresets();
    EXPECT_EQ(moodle->ComboBoxCustomUploadMethods()->count(), 0);

    form.PageControlMain()->setCurrentIndex(TFormConfigSetting::cpFileUploaders);
    ModalWatcher watcher([](QWidget* w) {
        auto* types = qobject_cast<TFormSelectFileUploaderType*>(w);
        ASSERT_NE(types, nullptr);
        QTest::mouseClick(types->BtnOk(), Qt::LeftButton);
    });
    QTest::mouseClick(form.FrameEditFileUploaderPresets()->BtnAddPreset(), Qt::LeftButton);
    ASSERT_EQ(FileUploaderPresetsConfig()->Presets()->Count(), 1);
    const QString title = FileUploaderPresetsConfig()->Presets()->Presets(0)->Title();

    form.PageControlMain()->setCurrentIndex(TFormConfigSetting::cpMoodle);
    ASSERT_EQ(moodle->ComboBoxCustomUploadMethods()->count(), 1);
    EXPECT_EQ(moodle->ComboBoxCustomUploadMethods()->itemText(0), title);
    EXPECT_EQ(moodle->CurrPreset(), AppConfig()->MoodleSysConfigPresets()->Presets(0));
}

TEST_F(ConfigSettingTest, GeneralPageAppliesSkinAndSwitchesLive)
{
    TFormConfigSetting form(nullptr, &store);
    TFrameGeneralSettings* general = form.FrameGeneralSettings();
    QComboBox* skins = general->ComboBoxSkins();
    ASSERT_EQ(skins->count(), 6);
    EXPECT_EQ(skins->itemText(0), "Charm");
    EXPECT_EQ(skins->itemText(5), "Air");
    QComboBox* occasions = general->ComboBoxAutoOpenWordOccasion();
    EXPECT_EQ(occasions->itemText(0), "Empty HTML editor");
    EXPECT_EQ(occasions->itemText(3), "Never");
    EXPECT_EQ(general->CheckBoxEnableWindowAnimation()->text(), "Enable &Window Animation");
    EXPECT_EQ(general->CheckBoxEnableControlEffects()->text(), "Enable Control &Effects");

    TGeneralConfig* config = AppConfig()->GeneralConfig();
    config->SetSkinIndex(2);
    config->SetAutoOpenWordEditorOn(TGeneralConfig::owAll);
    ShowActive(&form);
    EXPECT_EQ(skins->currentIndex(), 2);
    EXPECT_EQ(occasions->currentIndex(), 2);
    EXPECT_TRUE(general->CheckBoxEnableWindowAnimation()->isChecked());

    skins->setFocus();
    QTest::keyClick(skins, Qt::Key_Down);
    EXPECT_EQ(config->SkinIndex(), 3);
    EXPECT_EQ(FDm->SkinIndex(), 3);
    const TSkinColors& metal = FDm->SkinDataGlobal()->Colors();
    // The open dialog is re-skinned, and the listener repainted the inspector.
    EXPECT_EQ(form.palette().color(QPalette::Window), metal.Window);
    EXPECT_EQ(form.FrameEditFileUploaderPresets()->InspectorProp()->Colors().Background, metal.Window);

    ClickBox(general->CheckBoxEnableWindowAnimation());
    EXPECT_FALSE(config->EnableWindowAnimation());
    EXPECT_FALSE(FDm->WindowAnimation());
    ClickBox(general->CheckBoxEnableControlEffects());
    EXPECT_FALSE(config->EnableControlEffects());
    EXPECT_FALSE(FDm->ControlEffects());

    occasions->setFocus();
    QTest::keyClick(occasions, Qt::Key_Down);
    EXPECT_EQ(config->AutoOpenWordEditorOn(), TGeneralConfig::owNever);
    FDm->SetSkinIndex(0);
}

TEST_F(ConfigSettingTest, ClosingWritesTheFocusedValueAndARefusedOneKeepsTheDialogOpen)
{
    AddSite("First");
    AddSite("Second");
    TFormConfigSetting form(nullptr, &store);
    form.PageControlMain()->setCurrentIndex(TFormConfigSetting::cpMoodle);
    ShowActive(&form);
    TFrameEditMoodleSysPresets* moodle = form.FrameEditMoodleSysPresets();
    ASSERT_EQ(moodle->CurrPreset(), AppConfig()->MoodleSysConfigPresets()->Presets(0));

    // Esc belongs to the controls here: it restores and does not close.
    QLineEdit* url = moodle->EditMoodleRootUrl();
    url->setFocus();
    QTest::keyClicks(url, "typed");
    QTest::keyClick(url, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(url->text(), "");

    // Alt+C closes without a focus change of its own; the value still counts.
    QTest::keyClicks(url, "https://first.example");
    QTest::keyClick(url, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(testutil::waitUntil([&] { return !form.isVisible(); }, 2000));
    EXPECT_EQ(SiteConfig(AppConfig()->MoodleSysConfigPresets()->Presets(0))->RootUrl(), "https://first.example");

    ShowActive(&form);
    ModalWatcher watcher;
    QLineEdit* title = moodle->EditPresetTitle();
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "second");
    QTest::keyClick(title, Qt::Key_C, Qt::AltModifier);
    ASSERT_TRUE(watcher.WaitForMessages(1));
    QTest::qWait(50);
    EXPECT_EQ(watcher.Messages.first(), "Duplicated preset title");
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(WaitFocus(title));
    QTest::keyClick(title, Qt::Key_Escape);
    QTest::keyClick(title, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(testutil::waitUntil([&] { return !form.isVisible(); }, 2000));
    EXPECT_EQ(AppConfig()->MoodleSysConfigPresets()->Presets(0)->Title(), "First");
}

TEST_F(ConfigSettingTest, ExecuteConfigSettingSavesTheFilesAfterTheDialog)
{
    const QString folder = TVantoliConfigPersistent::UserConfigPath();
    QFile::remove(folder + "vantoli.cfg");
    QFile::remove(folder + "uploaders.cfg");
    ASSERT_TRUE(folder.startsWith(qEnvironmentVariable("APPDATA"))) << "tests never touch the user's folder";
    TFormConfigSetting form(nullptr, &store);
    bool savedWhileOpen = true;
    ModalWatcher watcher([&](QWidget* w) {
        auto* dialog = qobject_cast<TFormConfigSetting*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->PageControlMain()->currentIndex(), TFormConfigSetting::cpMoodle);
        QTest::mouseClick(dialog->FrameEditMoodleSysPresets()->BtnAddPreset(), Qt::LeftButton);
        savedWhileOpen = QFile::exists(folder + "vantoli.cfg");
        QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
    });
    ExecuteConfigSetting(form, TFormConfigSetting::cpMoodle);
    EXPECT_FALSE(watcher.TimedOut);
    EXPECT_FALSE(savedWhileOpen);
    ASSERT_EQ(AppConfig()->MoodleSysConfigPresets()->Count(), 1);
    const QByteArray saved = testutil::readFile(folder + "vantoli.cfg");
    EXPECT_TRUE(saved.contains(AppConfig()->MoodleSysConfigPresets()->Presets(0)->Title().toUtf8())) << saved.constData();
    EXPECT_TRUE(QFile::exists(folder + "uploaders.cfg"));
}

TEST_F(ConfigSettingTest, ListHeightsAreRestoredByTheNextRun)
{
    {
        TFormConfigSetting form(nullptr, &store);
        ShowActive(&form);
        form.FrameEditMoodleSysPresets()->SetPresetsHeight(201);
        form.FrameEditFileUploaderPresets()->SetPresetsHeight(233);
        form.close();
        ASSERT_TRUE(store.Flush());
    }
    TXmlPlacementStore nextRun;
    nextRun.SetFileName(dir.filePath("forms.cfg"));
    EXPECT_EQ(nextRun.ReadInteger(TFormConfigSetting::StorageSection, TFormConfigSetting::MoodlePresetsHeightKey, 0), 201);
    TFormConfigSetting form(nullptr, &nextRun);
    EXPECT_NE(form.FrameEditMoodleSysPresets()->PresetsHeight(), 201);
    ShowActive(&form);
    EXPECT_EQ(form.FrameEditMoodleSysPresets()->PresetsHeight(), 201);
    EXPECT_EQ(form.FrameEditFileUploaderPresets()->PresetsHeight(), 233);
}

TEST_F(ConfigSettingTest, SplitterDragSetsTheListHeight)
{
    AddSite("School");
    TFormConfigSetting form(nullptr, &store);
    form.PageControlMain()->setCurrentIndex(TFormConfigSetting::cpMoodle);
    ShowActive(&form);
    TFrameEditMoodleSysPresets* moodle = form.FrameEditMoodleSysPresets();
    const int before = moodle->PresetsHeight();
    QWidget* splitter = moodle->Splitter();
    const QPoint start(splitter->width() / 2, 1);
    QTest::mousePress(splitter, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(0, 40)), splitter->mapToGlobal(QPointF(start + QPoint(0, 40))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(splitter, &move);
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, start + QPoint(0, 40));
    EXPECT_EQ(moodle->PresetsHeight(), before + 40);
}
