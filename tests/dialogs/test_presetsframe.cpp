#include "dialogstest.h"

#include "app/config/appconfigs.h"
#include "app/dialogs/appmessages.h"
#include "app/dialogs/controlutil.h"
#include "app/dialogs/editpresetsframe.h"
#include "utillib/exceptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

class PresetsFrameTest : public DialogsTest {
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        frame = std::make_unique<TFrameEditPresets>();
        frame->resize(420, 360);
        presets = AppConfig()->MoodleSysConfigPresets();
    }
    void TearDown() override
    {
        frame.reset();
        DialogsTest::TearDown();
    }
    void Bind()
    {
        frame->SetConfigPresets(presets);
        frame->UpdateConfig();
    }
    QStringList ListTitles() const
    {
        QStringList t;
        for (int i = 0; i < frame->ListBoxPresets()->count(); ++i)
            t << frame->ListBoxPresets()->item(i)->text();
        return t;
    }
    void ClickRow(int row)
    {
        QListWidget* list = frame->ListBoxPresets();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    std::unique_ptr<TFrameEditPresets> frame;
    TMoodleSysConfigPresets* presets = nullptr;
};

} // namespace

TEST_F(PresetsFrameTest, EmptyCollectionShowsNothingAndCannotRemove)
{
    Bind();
    EXPECT_EQ(frame->ListBoxPresets()->count(), 0);
    EXPECT_EQ(frame->CurrPreset(), nullptr);
    EXPECT_TRUE(frame->EditPresetTitle()->text().isEmpty());
    EXPECT_TRUE(frame->MemoPresetDescription()->toPlainText().isEmpty());
    EXPECT_FALSE(frame->BtnRemovePreset()->isEnabled());
    EXPECT_EQ(frame->GroupBoxPresets()->title(), "Presets");
    EXPECT_EQ(frame->GroupboxDetails()->title(), "Details");
    EXPECT_EQ(frame->BtnAddPreset()->text(), "&New");
    EXPECT_EQ(frame->BtnRemovePreset()->text(), "&Remove");
}

TEST_F(PresetsFrameTest, ItemsShowTitleOverDescriptionWithPlaceholders)
{
    AddSite("Physics")->SetDescription("Year 10");
    AddSite("Chemistry");
    TConfigPreset* blank = presets->Add();
    blank->SetTitle("   ");
    Bind();
    ASSERT_EQ(ListTitles(), (QStringList{"Physics", "Chemistry", "Untitled"}));
    QListWidget* list = frame->ListBoxPresets();
    EXPECT_EQ(list->item(0)->data(TFrameEditPresets::CaptionRole).toString(), "Year 10");
    EXPECT_EQ(list->item(1)->data(TFrameEditPresets::CaptionRole).toString(), "No description");
    // The list shows the first preset and its details after the first build.
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(frame->EditPresetTitle()->text(), "Physics");
    EXPECT_EQ(frame->MemoPresetDescription()->toPlainText(), "Year 10");
}

TEST_F(PresetsFrameTest, RebuildKeepsOrClampsTheSelection)
{
    for (const char* t : {"A", "B", "C", "D"})
        AddSite(t);
    frame->show();
    Bind();
    ClickRow(2);
    ASSERT_EQ(frame->CurrPreset(), presets->Presets(2));
    frame->UpdateConfig();
    EXPECT_EQ(frame->ListBoxPresets()->currentRow(), 2);
    EXPECT_EQ(frame->EditPresetTitle()->text(), "C");

    ClickRow(3);
    presets->Delete(3);
    presets->Delete(2);
    frame->UpdateConfig();
    EXPECT_EQ(frame->ListBoxPresets()->currentRow(), 1);
    EXPECT_EQ(frame->CurrPreset(), presets->Presets(1));
    EXPECT_EQ(frame->EditPresetTitle()->text(), "B");

    presets->Clear();
    frame->UpdateConfig();
    EXPECT_EQ(frame->CurrPreset(), nullptr);
    EXPECT_TRUE(frame->EditPresetTitle()->text().isEmpty());
    EXPECT_FALSE(frame->BtnRemovePreset()->isEnabled());
}

TEST_F(PresetsFrameTest, NewCreatesAnUntitledPresetAndSelectsIt)
{
    AddSite("Existing");
    ShowActive(frame.get());
    Bind();
    QTest::mouseClick(frame->BtnAddPreset(), Qt::LeftButton);
    ASSERT_EQ(presets->Count(), 2);
    TConfigPreset* created = presets->Presets(1);
    EXPECT_TRUE(created->Title().startsWith("Untitled "));
    EXPECT_EQ(frame->CurrPreset(), created);
    EXPECT_EQ(frame->ListBoxPresets()->currentRow(), 1);
    EXPECT_EQ(frame->ListBoxPresets()->item(1)->text(), created->Title());
    EXPECT_EQ(frame->EditPresetTitle()->text(), created->Title());
    EXPECT_TRUE(frame->BtnRemovePreset()->isEnabled());
}

TEST_F(PresetsFrameTest, RemoveSelectsTheNeighbourAndEmptiesAtTheEnd)
{
    for (const char* t : {"A", "B", "C"})
        AddSite(t);
    ShowActive(frame.get());
    Bind();
    ClickRow(2);
    QTest::mouseClick(frame->BtnRemovePreset(), Qt::LeftButton);
    EXPECT_EQ(ListTitles(), (QStringList{"A", "B"}));
    EXPECT_EQ(frame->ListBoxPresets()->currentRow(), 1);
    EXPECT_EQ(frame->EditPresetTitle()->text(), "B");

    ClickRow(0);
    QTest::mouseClick(frame->BtnRemovePreset(), Qt::LeftButton);
    EXPECT_EQ(ListTitles(), (QStringList{"B"}));
    EXPECT_EQ(frame->CurrPreset(), presets->Presets(0));

    QTest::mouseClick(frame->BtnRemovePreset(), Qt::LeftButton);
    EXPECT_EQ(presets->Count(), 0);
    EXPECT_EQ(frame->CurrPreset(), nullptr);
    EXPECT_EQ(frame->CurrPresetListItem(), nullptr);
    EXPECT_TRUE(frame->EditPresetTitle()->text().isEmpty());
    EXPECT_FALSE(frame->BtnRemovePreset()->isEnabled());
}

TEST_F(PresetsFrameTest, TitleAndDescriptionAreWrittenWhenTheControlIsLeft)
{
    AddSite("Old");
    ShowActive(frame.get());
    Bind();
    QLineEdit* title = frame->EditPresetTitle();
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "New title");
    EXPECT_EQ(presets->Presets(0)->Title(), "Old") << "nothing is written while typing";
    QTest::keyClick(title, Qt::Key_Tab);
    EXPECT_EQ(presets->Presets(0)->Title(), "New title");
    EXPECT_EQ(frame->ListBoxPresets()->item(0)->text(), "New title");

    QPlainTextEdit* memo = frame->MemoPresetDescription();
    ASSERT_TRUE(memo->hasFocus());
    QTest::keyClicks(memo, "About it");
    QTest::keyClick(memo, Qt::Key_Tab);
    EXPECT_EQ(presets->Presets(0)->Description(), "About it");
    EXPECT_EQ(frame->ListBoxPresets()->item(0)->data(TFrameEditPresets::CaptionRole).toString(), "About it");
}

TEST_F(PresetsFrameTest, DuplicateTitleInAnyCaseIsRejectedWithTheFocusKeptAndEscRestores)
{
    AddSite("Alpha");
    AddSite("Beta");
    ShowActive(frame.get());
    Bind();
    ClickRow(1);
    ModalWatcher watcher;
    QLineEdit* title = frame->EditPresetTitle();
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "aLPHA");
    QTest::keyClick(title, Qt::Key_Tab);
    ASSERT_TRUE(watcher.WaitForMessages(1));
    EXPECT_EQ(watcher.Messages.first(), "Duplicated preset title");
    EXPECT_EQ(watcher.BoxNames.first(), TAppMessages::ErrorBoxName);
    EXPECT_EQ(presets->Presets(1)->Title(), "Beta");
    EXPECT_EQ(frame->ListBoxPresets()->item(1)->text(), "Beta");
    EXPECT_TRUE(WaitFocus(title));
    EXPECT_EQ(title->text(), "aLPHA");

    // A click on the list while the value is refused does not move on.
    ClickRow(0);
    ASSERT_TRUE(watcher.WaitForMessages(2));
    EXPECT_EQ(frame->CurrPreset(), presets->Presets(1));
    EXPECT_TRUE(WaitFocus(title));

    QTest::keyClick(title, Qt::Key_Escape);
    EXPECT_EQ(title->text(), "Beta");
    QTest::keyClick(title, Qt::Key_Tab);
    QTest::qWait(50);
    EXPECT_EQ(watcher.Messages.size(), 2);
    EXPECT_FALSE(watcher.TimedOut);
}

TEST_F(PresetsFrameTest, EscInTheMemoRestoresTheDescriptionButKeepsAWrittenTitle)
{
    AddSite("Site")->SetDescription("Stored");
    ShowActive(frame.get());
    Bind();
    QLineEdit* title = frame->EditPresetTitle();
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "Renamed");
    QTest::keyClick(title, Qt::Key_Tab);
    QPlainTextEdit* memo = frame->MemoPresetDescription();
    QTest::keyClicks(memo, " and typed");
    QTest::keyClick(memo, Qt::Key_Escape);
    EXPECT_EQ(memo->toPlainText(), "Stored");
    EXPECT_EQ(title->text(), "Renamed");
    EXPECT_EQ(presets->Presets(0)->Title(), "Renamed");
}

TEST_F(PresetsFrameTest, ControlUtilWritesThroughSettersAndFocusesOnError)
{
    TConfigPreset* a = AddSite("A");
    TConfigPreset* b = AddSite("B");
    ShowActive(frame.get());
    QCheckBox box(frame.get());
    box.setChecked(true);
    box.show();
    TMoodleSysConfig* config = SiteConfig(a);
    TControlUtil::AssignCtrlValueTo(&box, QStringLiteral("Checked"), config, QStringLiteral("autologin"), true);
    EXPECT_TRUE(config->AutoLogin());
    TControlUtil::AssignCtrlValueTo(&box, QVariant(int(TMoodleSysConfig::umCustom)), config,
                                    QStringLiteral("FileUploadMethod"), true);
    EXPECT_EQ(config->FileUploadMethod(), TMoodleSysConfig::umCustom);

    frame->BtnAddPreset()->setFocus();
    QLineEdit* edit = frame->EditPresetTitle();
    edit->setText("a");
    EXPECT_THROW(TControlUtil::AssignCtrlValueTo(edit, QStringLiteral("text"), b, QStringLiteral("Title"), true),
                 EConfigPresetException);
    EXPECT_EQ(b->Title(), "B");
    EXPECT_TRUE(edit->hasFocus());
    edit->setText("");
    EXPECT_THROW(TControlUtil::AssignCtrlValueTo(edit, QStringLiteral("text"), b, QStringLiteral("Title"), false),
                 EConfigPresetException);
    // Names that do not exist are reported, not ignored.
    EXPECT_THROW(TControlUtil::AssignCtrlValueTo(edit, QStringLiteral("NoSuchProp"), b, QStringLiteral("Title"), false),
                 EPropertyError);
    EXPECT_THROW(TControlUtil::AssignCtrlValueTo(edit, QStringLiteral("text"), b, QStringLiteral("NoSuchProp"), false),
                 EPropertyError);
}
