#include "dialogstest.h"

#include "app/config/appconfigs.h"
#include "app/config/sitebookmarks.h"
#include "app/dialogs/configsettingform.h"
#include "app/dialogs/editfileuploaderpresetsframe.h"
#include "app/dialogs/editmoodlesyspresetsframe.h"
#include "app/dialogs/managebookmarksform.h"
#include "app/dialogs/managebookmarksframe.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/ftpfileuploader.h"
#include "utillib/placementstore.h"

#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

// Pictures of the dialogs for a person to look at, written only when
// VANTOLI_SHOTS_DIR names a folder.
TEST_F(DialogsTest, ScreenshotsOfTheDialogs)
{
    const QString shots = qEnvironmentVariable("VANTOLI_SHOTS_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "VANTOLI_SHOTS_DIR is not set";
    QDir().mkpath(shots);
    QTemporaryDir dir;
    TXmlPlacementStore store;
    store.SetFileName(dir.filePath("forms.cfg"));

    TConfigPreset* site = AddSite("Riverside High School");
    site->SetDescription("Year 10 physics and chemistry");
    TMoodleSysConfig* config = SiteConfig(site);
    config->SetRootUrl("https://moodle.riverside.example");
    config->SetAccountName("j.smith");
    config->SetAccountPassword("correct horse");
    config->SetAutoLogin(true);
    config->Bookmarks()->AddBookmark("Physics 10A", "https://moodle.riverside.example/course/view.php?id=12");
    config->Bookmarks()->AddBookmark("Chemistry 10B", "https://moodle.riverside.example/course/view.php?id=14");
    TMoodleSysConfig* other = SiteConfig(AddSite("District Training Site"));
    other->Bookmarks()->AddBookmark("Staff news", "https://training.example/mod/forum/view.php?id=3");
    TFlexConfigPreset* ftp = FileUploaderPresetsConfig()->Presets()->CreateItem(TFtpFileUploader::GetConfigClass());
    ftp->SetTitle("School web server");
    ftp->SetDescription("Pictures go to /var/www/pictures");
    auto* ftpConfig = qobject_cast<TFtpFileUploaderConfig*>(ftp->Config());
    ftpConfig->SetUploaderName("FTP");
    ftpConfig->SetHost("ftp.riverside.example");
    config->SetFileUploadMethod(TMoodleSysConfig::umCustom);
    config->SetCustomFileUploaderConfigName(ftp->Name());

    for (int skin : {0, 3}) {
        FDm->SetSkinIndex(skin);
        TFormConfigSetting form(nullptr, &store);
        ShowActive(&form);
        const char* names[] = {"general", "moodle", "uploaders"};
        for (int page = 0; page < 3; ++page) {
            form.PageControlMain()->setCurrentIndex(page);
            QTest::qWait(50);
            const QString file = QStringLiteral("%1/settings-%2-skin%3.png").arg(shots, names[page]).arg(skin);
            EXPECT_TRUE(form.grab().save(file)) << file.toStdString();
        }
        form.hide();

        TFormManageBookmarks manager(nullptr, &store);
        manager.SetMoodleSysPresets(AppConfig()->MoodleSysConfigPresets());
        manager.SetActiveMoodleSysConfig(config);
        ShowActive(&manager);
        QTest::qWait(50);
        EXPECT_TRUE(manager.grab().save(QStringLiteral("%1/bookmarks-skin%2.png").arg(shots).arg(skin)));
        manager.hide();
    }
    FDm->SetSkinIndex(0);
}
