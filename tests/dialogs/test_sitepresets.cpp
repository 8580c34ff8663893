#include "dialogstest.h"

#include "app/config/appconfigs.h"
#include "app/dialogs/advmoodlesettingsform.h"
#include "app/dialogs/editmoodlesyspresetsframe.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/ftpfileuploader.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

namespace {

class SitePresetsTest : public DialogsTest {
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        uploaders = FileUploaderPresetsConfig()->Presets();
        frame = std::make_unique<TFrameEditMoodleSysPresets>();
        frame->resize(520, 560);
    }
    void TearDown() override
    {
        frame.reset();
        DialogsTest::TearDown();
    }
    TFlexConfigPreset* AddUploader(const QString& title)
    {
        TFlexConfigPreset* p = uploaders->CreateItem(TFtpFileUploader::GetConfigClass());
        p->SetTitle(title);
        return p;
    }
    void Bind()
    {
        frame->SetFileUploaderConfigPresets(uploaders);
        frame->SetConfigPresets(AppConfig()->MoodleSysConfigPresets());
        frame->UpdateConfig();
    }
    // Types into an edit and leaves it with Tab.
    static void Enter(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
    }
    TFileUploaderConfigPresets* uploaders = nullptr;
    std::unique_ptr<TFrameEditMoodleSysPresets> frame;
};

} // namespace

TEST_F(SitePresetsTest, NoSitesLeavesEveryDetailEmptyAndDisabled)
{
    Bind();
    EXPECT_EQ(frame->GroupBoxPresets()->title(), "Moodle Sites");
    for (QLineEdit* e : {frame->EditMoodleRootUrl(), frame->EditMoodleAccount(), frame->EditMoodlePassword()})
        EXPECT_TRUE(e->text().isEmpty());
    EXPECT_FALSE(frame->CheckBoxAutoLogin()->isChecked());
    EXPECT_FALSE(frame->RadioboxUploadByMoodle()->isChecked());
    EXPECT_FALSE(frame->RadioBoxUploadByCustom()->isChecked());
    EXPECT_FALSE(frame->ComboBoxCustomUploadMethods()->isEnabled());
    EXPECT_EQ(frame->ComboBoxCustomUploadMethods()->currentIndex(), -1);
    EXPECT_FALSE(frame->BtnAdvSettings()->isEnabled());
    EXPECT_FALSE(frame->BtnRemovePreset()->isEnabled());
    // Labels and accelerators as the user reads them.
    EXPECT_EQ(frame->CheckBoxAutoLogin()->text(), "Auto &login on connection");
    EXPECT_EQ(frame->RadioboxUploadByMoodle()->text(), "&Moodle repository (default)");
    EXPECT_EQ(frame->RadioBoxUploadByCustom()->text(), "Cu&stom method");
    EXPECT_EQ(frame->BtnAdvSettings()->text(), "&Advanced...");
}

TEST_F(SitePresetsTest, EditsAndClicksAreWrittenIntoTheSite)
{
    TConfigPreset* site = AddSite("School");
    TFlexConfigPreset* ftp = AddUploader("Our FTP");
    ShowActive(frame.get());
    Bind();
    TMoodleSysConfig* config = SiteConfig(site);
    EXPECT_TRUE(frame->RadioboxUploadByMoodle()->isChecked());
    EXPECT_FALSE(frame->ComboBoxCustomUploadMethods()->isEnabled());
    EXPECT_EQ(frame->ComboBoxCustomUploadMethods()->itemText(0), "Our FTP");

    Enter(frame->EditMoodleRootUrl(), "https://moodle.example.edu");
    Enter(frame->EditMoodleAccount(), "teacher");
    Enter(frame->EditMoodlePassword(), "s3cret!");
    EXPECT_EQ(config->RootUrl(), "https://moodle.example.edu");
    EXPECT_EQ(config->AccountName(), "teacher");
    EXPECT_EQ(config->AccountPassword(), "s3cret!");
    EXPECT_EQ(frame->EditMoodlePassword()->echoMode(), QLineEdit::Normal);

    ClickBox(frame->CheckBoxAutoLogin());
    EXPECT_TRUE(config->AutoLogin());

    ClickBox(frame->RadioBoxUploadByCustom());
    EXPECT_EQ(config->FileUploadMethod(), TMoodleSysConfig::umCustom);
    EXPECT_TRUE(frame->ComboBoxCustomUploadMethods()->isEnabled());
    EXPECT_FALSE(frame->RadioboxUploadByMoodle()->isChecked());
    EXPECT_TRUE(config->CustomFileUploaderConfigName().isEmpty()) << "the uploader is stored when the combo box is left";

    QComboBox* combo = frame->ComboBoxCustomUploadMethods();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->currentIndex(), 0);
    QTest::keyClick(combo, Qt::Key_Tab);
    EXPECT_EQ(config->CustomFileUploaderConfigName(), ftp->Name());

    // Back to the repository: the uploader's name stays for a later switch.
    ClickBox(frame->RadioboxUploadByMoodle());
    EXPECT_EQ(config->FileUploadMethod(), TMoodleSysConfig::umMoodle);
    EXPECT_FALSE(frame->ComboBoxCustomUploadMethods()->isEnabled());
    EXPECT_EQ(config->CustomFileUploaderConfigName(), ftp->Name());

    // Renaming the uploader keeps the link: sites store its name.
    ftp->SetTitle("Renamed FTP");
    frame->SetFileUploaderConfigPresets(uploaders);
    frame->UpdateConfig();
    ClickBox(frame->RadioBoxUploadByCustom());
    EXPECT_EQ(frame->ComboBoxCustomUploadMethods()->currentText(), "Renamed FTP");
}

TEST_F(SitePresetsTest, UnknownUploaderNameShowsCustomWithNothingChosenAndLeavingStoresEmpty)
{
    TMoodleSysConfig* config = SiteConfig(AddSite("School"));
    config->SetFileUploadMethod(TMoodleSysConfig::umCustom);
    config->SetCustomFileUploaderConfigName("Gone");
    AddUploader("Our FTP");
    ShowActive(frame.get());
    Bind();
    EXPECT_TRUE(frame->RadioBoxUploadByCustom()->isChecked());
    EXPECT_TRUE(frame->ComboBoxCustomUploadMethods()->isEnabled());
    EXPECT_EQ(frame->ComboBoxCustomUploadMethods()->currentIndex(), -1);
    frame->ComboBoxCustomUploadMethods()->setFocus();
    QTest::keyClick(frame->ComboBoxCustomUploadMethods(), Qt::Key_Tab);
    EXPECT_EQ(config->CustomFileUploaderConfigName(), "");
}

TEST_F(SitePresetsTest, AdvancedDialogOkStoresAsTypedAndCancelWritesNothing)
{
    TMoodleSysConfig* config = SiteConfig(AddSite("School"));
    ShowActive(frame.get());
    Bind();
    ASSERT_TRUE(frame->BtnAdvSettings()->isEnabled());

    struct Case {
        const char* name;
        bool ok;
        QString loginTyped;
        QString expectedLogin;
        QString expectedRepo;
    };
    const QString defaultRepo = "/repository/repository_ajax.php?action=upload";
    const Case cases[] = {
        {"cancel", false, "/changed/", "/login/", defaultRepo},
        {"ok with a new path", true, "/auth/login/", "/auth/login/", defaultRepo},
        {"ok with an emptied path", true, "", "", defaultRepo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config->SetLoginPath("/login/");
        QStringList shown;
        ModalWatcher watcher([&](QWidget* w) {
            auto* form = qobject_cast<TFormAdvMoodleSettings*>(w);
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->windowTitle(), "Advanced Moodle Site Settings");
            QTableWidget* table = form->ValueListEditor();
            EXPECT_EQ(table->rowCount(), 2);
            EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "Item");
            EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "Value");
            shown << form->Values("Login path") << form->Values("Repository upload path");
            // Edit the cell as a user does: select it, type, and leave.
            table->setFocus();
            table->setCurrentCell(0, 1);
            QTest::keyClick(table, Qt::Key_F2);
            QWidget* editor = QApplication::focusWidget();
            if (auto* e = qobject_cast<QLineEdit*>(editor)) {
                e->selectAll();
                if (c.loginTyped.isEmpty())
                    QTest::keyClick(e, Qt::Key_Delete);
                else
                    QTest::keyClicks(e, c.loginTyped);
            } else {
                ADD_FAILURE() << "no cell editor";
            }
            QTest::mouseClick(c.ok ? form->BtnOk() : form->BtnCancel(), Qt::LeftButton);
        });
        QTest::mouseClick(frame->BtnAdvSettings(), Qt::LeftButton);
        EXPECT_EQ(watcher.DialogsSeen, 1);
        EXPECT_FALSE(watcher.TimedOut);
        EXPECT_EQ(shown, (QStringList{"/login/", defaultRepo}));
        EXPECT_EQ(config->LoginPath(), c.expectedLogin);
        EXPECT_EQ(config->RepoUploadPath(), c.expectedRepo);
    }
}
