#include "dialogstest.h"

#include "app/config/appconfigs.h"
#include "app/dialogs/appmessages.h"
#include "app/dialogs/editfileuploaderpresetsframe.h"
#include "app/dialogs/propertyinspector.h"
#include "app/dialogs/selectfileuploadertypeform.h"
#include "app/shell/globaldm.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/ftpfileuploader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace {

class UploaderPresetsTest : public DialogsTest {
protected:
    void SetUp() override
    {
        DialogsTest::SetUp();
        uploaders = FileUploaderPresetsConfig()->Presets();
        frame = std::make_unique<TFrameEditFileUploaderPresets>();
        frame->resize(520, 560);
    }
    void TearDown() override
    {
        frame.reset();
        DialogsTest::TearDown();
    }
    void Bind()
    {
        frame->SetMoodleSysConfigPresets(AppConfig()->MoodleSysConfigPresets());
        frame->SetConfigPresets(uploaders);
        frame->UpdateConfig();
    }
    TFlexConfigPreset* AddUploader(const QString& title)
    {
        TFlexConfigPreset* p = uploaders->CreateItem(TFtpFileUploader::GetConfigClass());
        p->SetTitle(title);
        return p;
    }
    TMoodleSysConfig* AddSiteUsing(const QString& title, const QString& uploaderName, TMoodleSysConfig::TMoodleFileUploadMethod m)
    {
        TMoodleSysConfig* c = SiteConfig(AddSite(title));
        c->SetFileUploadMethod(m);
        c->SetCustomFileUploaderConfigName(uploaderName);
        return c;
    }
    void ClickRow(int row)
    {
        QListWidget* list = frame->ListBoxPresets();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    TFileUploaderConfigPresets* uploaders = nullptr;
    std::unique_ptr<TFrameEditFileUploaderPresets> frame;
};

} // namespace

TEST_F(UploaderPresetsTest, NewAsksForTheTypeAndCreatesAnFtpPreset)
{
    ShowActive(frame.get());
    Bind();
    EXPECT_EQ(frame->GroupBoxPresets()->title(), "Uploaders");

    enum class Answer { Ok, DoubleClick, Cancel };
    struct Case {
        const char* name;
        Answer answer;
        int expectedCount;
    };
    const Case cases[] = {{"cancel", Answer::Cancel, 0}, {"ok", Answer::Ok, 1}, {"double click", Answer::DoubleClick, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList listed;
        QString selected;
        ModalWatcher watcher([&](QWidget* w) {
            auto* form = qobject_cast<TFormSelectFileUploaderType*>(w);
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->windowTitle(), "Select File Uploader Type");
            listed = form->UploaderTypes();
            selected = form->SelectedType();
            QListWidget* list = form->ListBoxUploaderTypes();
            switch (c.answer) {
            case Answer::Ok: QTest::mouseClick(form->BtnOk(), Qt::LeftButton); break;
            case Answer::Cancel: QTest::mouseClick(form->BtnCancel(), Qt::LeftButton); break;
            case Answer::DoubleClick:
                // The first press of a double click is a plain click.
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
                break;
            }
        });
        QTest::mouseClick(frame->BtnAddPreset(), Qt::LeftButton);
        EXPECT_EQ(watcher.DialogsSeen, 1);
        EXPECT_FALSE(watcher.TimedOut);
        EXPECT_EQ(listed, QStringList{"FTP"});
        EXPECT_EQ(selected, "FTP");
        ASSERT_EQ(uploaders->Count(), c.expectedCount);
        EXPECT_EQ(frame->ListBoxPresets()->count(), c.expectedCount);
    }
    TConfigPreset* created = uploaders->Presets(1);
    auto* config = qobject_cast<TFtpFileUploaderConfig*>(created->Config());
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(config->UploaderName(), "FTP");
    EXPECT_EQ(frame->CurrPreset(), created);
    EXPECT_EQ(frame->InspectorProp()->InspectObject(), config);
    for (const char* prop : {"UploaderName", "Host", "Port", "UserName", "Password", "UploadDir", "VisitPath",
                             "AutoDestFileName", "AutoCreateSessionDir"})
        EXPECT_GE(frame->InspectorProp()->RowOfProperty(prop), 0) << prop;
    // Public (not published) settings stay out of the inspector.
    EXPECT_EQ(frame->InspectorProp()->RowOfProperty("EnableRttiAssign"), -1);
}

TEST_F(UploaderPresetsTest, InspectorWritesEachKindAtOnce)
{
    TFlexConfigPreset* preset = AddUploader("FTP one");
    auto* config = qobject_cast<TFtpFileUploaderConfig*>(preset->Config());
    ShowActive(frame.get());
    Bind();
    TPropertyInspector* inspector = frame->InspectorProp();
    ASSERT_EQ(inspector->InspectObject(), config);

    auto* host = qobject_cast<QLineEdit*>(inspector->EditorOf("Host"));
    ASSERT_NE(host, nullptr);
    host->setFocus();
    host->selectAll();
    QTest::keyClicks(host, "ftp.example.org");
    QTest::keyClick(host, Qt::Key_Return);
    EXPECT_EQ(config->Host(), "ftp.example.org");

    auto* port = qobject_cast<QSpinBox*>(inspector->EditorOf("Port"));
    ASSERT_NE(port, nullptr);
    port->setFocus();
    port->selectAll();
    QTest::keyClicks(port, "2121");
    QTest::keyClick(port, Qt::Key_Return);
    EXPECT_EQ(config->Port(), 2121);

    auto* flag = qobject_cast<QCheckBox*>(inspector->EditorOf("AutoDestFileName"));
    ASSERT_NE(flag, nullptr);
    const bool before = config->AutoDestFileName();
    ClickBox(flag);
    EXPECT_EQ(config->AutoDestFileName(), !before);

    // An enumeration offers its value names (a site's settings have one).
    TMoodleSysConfig* site = SiteConfig(AddSite("School"));
    TPropertyInspector standalone;
    standalone.SetInspectObject(site);
    standalone.resize(300, 300);
    ShowActive(&standalone);
    auto* method = qobject_cast<QComboBox*>(standalone.EditorOf("FileUploadMethod"));
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(method->itemText(0), "umMoodle");
    EXPECT_EQ(method->itemText(1), "umCustom");
    method->setFocus();
    QTest::keyClick(method, Qt::Key_Down);
    EXPECT_EQ(site->FileUploadMethod(), TMoodleSysConfig::umCustom);
    EXPECT_EQ(standalone.RowOfProperty("Bookmarks") >= 0, true) << "object properties are listed, read only";
    EXPECT_EQ(standalone.EditorOf("Bookmarks"), nullptr);
}

TEST_F(UploaderPresetsTest, InspectorReportsARejectedValueAndShowsTheStoredOne)
{
    // A preset's title is published and validated by its collection.
    TFlexConfigPreset* a = AddUploader("First");
    AddUploader("Second");
    TPropertyInspector inspector;
    inspector.resize(300, 300);
    inspector.SetInspectObject(a);
    ShowActive(&inspector);
    ModalWatcher watcher;
    auto* title = qobject_cast<QLineEdit*>(inspector.EditorOf("Title"));
    ASSERT_NE(title, nullptr);
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "SECOND");
    QTest::keyClick(title, Qt::Key_Return);
    ASSERT_TRUE(watcher.WaitForMessages(1));
    EXPECT_EQ(watcher.Messages.first(), "Duplicated preset title");
    EXPECT_EQ(a->Title(), "First");
    EXPECT_EQ(title->text(), "First");
    QTest::qWait(50);
    EXPECT_EQ(watcher.Messages.size(), 1) << "the error box taking the focus reports nothing more";
}

TEST_F(UploaderPresetsTest, RemovingAnUploaderThatSitesUseAsksOnceAndSwitchesThemBack)
{
    TFlexConfigPreset* used = AddUploader("Used");
    TFlexConfigPreset* unused = AddUploader("Unused");
    TMoodleSysConfig* s1 = AddSiteUsing("S1", used->Name(), TMoodleSysConfig::umCustom);
    TMoodleSysConfig* s2 = AddSiteUsing("S2", used->Name(), TMoodleSysConfig::umCustom);
    // Names it but uploads to the repository: not a user of it.
    TMoodleSysConfig* s3 = AddSiteUsing("S3", used->Name(), TMoodleSysConfig::umMoodle);
    const QString usedName = used->Name();
    const QString unusedName = unused->Name();
    ShowActive(frame.get());
    Bind();

    {
        SCOPED_TRACE("an unused uploader goes without a question");
        ModalWatcher watcher;
        ClickRow(1);
        QTest::mouseClick(frame->BtnRemovePreset(), Qt::LeftButton);
        QTest::qWait(30);
        EXPECT_TRUE(watcher.Messages.isEmpty());
        EXPECT_EQ(uploaders->Count(), 1);
        EXPECT_EQ(uploaders->FindItemWithName(unusedName), nullptr);
    }
    {
        SCOPED_TRACE("No keeps everything");
        ModalWatcher watcher;
        watcher.ConfirmAnswer = QMessageBox::No;
        ClickRow(0);
        QTest::mouseClick(frame->BtnRemovePreset(), Qt::LeftButton);
        ASSERT_EQ(watcher.Messages.size(), 1);
        EXPECT_EQ(watcher.BoxNames.first(), TAppMessages::ConfirmBoxName);
        EXPECT_EQ(watcher.Messages.first(), TFrameEditFileUploaderPresets::UsedUploaderConfirmText);
        EXPECT_EQ(uploaders->Count(), 1);
        EXPECT_EQ(frame->ListBoxPresets()->count(), 1);
        for (TMoodleSysConfig* s : {s1, s2}) {
            EXPECT_EQ(s->FileUploadMethod(), TMoodleSysConfig::umCustom);
            EXPECT_EQ(s->CustomFileUploaderConfigName(), usedName);
        }
    }
    {
        SCOPED_TRACE("Yes switches both users back and removes the uploader");
        ModalWatcher watcher;
        watcher.ConfirmAnswer = QMessageBox::Yes;
        QTest::mouseClick(frame->BtnRemovePreset(), Qt::LeftButton);
        EXPECT_EQ(watcher.Messages.size(), 1);
        EXPECT_EQ(uploaders->Count(), 0);
        EXPECT_EQ(frame->ListBoxPresets()->count(), 0);
        EXPECT_EQ(frame->InspectorProp()->InspectObject(), nullptr);
        for (TMoodleSysConfig* s : {s1, s2}) {
            EXPECT_EQ(s->FileUploadMethod(), TMoodleSysConfig::umMoodle);
            EXPECT_EQ(s->CustomFileUploaderConfigName(), "");
        }
        EXPECT_EQ(s3->CustomFileUploaderConfigName(), usedName);
    }
}

TEST_F(UploaderPresetsTest, InspectorFollowsEverySkinChangeAndStopsListeningWhenGone)
{
    AddUploader("FTP");
    Bind();
    const TInspectorColors initial = frame->InspectorProp()->Colors();
    EXPECT_FALSE(initial.Background.isValid()) << "the painter's own colours until the first change";
    for (int skin : {3, 1, 3}) {
        FDm->SetSkinIndex(skin);
        const TSkinColors& c = FDm->SkinDataGlobal()->Colors();
        const TInspectorColors& got = frame->InspectorProp()->Colors();
        EXPECT_EQ(got.Background, c.Window);
        EXPECT_EQ(got.Category, c.ButtonFace);
        EXPECT_EQ(got.FocusedSelection, c.Highlight);
        EXPECT_EQ(got.Text, c.WindowText);
        EXPECT_EQ(got.CategoryText, c.ButtonText);
        EXPECT_EQ(got.SelectedText, c.HighlightText);
        EXPECT_EQ(frame->InspectorProp()->palette().color(QPalette::Base), c.Window);
    }
    const int before = FDm->SkinChangeEventHandlerCount();
    frame.reset();
    EXPECT_EQ(FDm->SkinChangeEventHandlerCount(), before - 1);
    FDm->SetSkinIndex(0);
}
