// The application model and its configuration files.
#include "coretest.h"

#include "app/config/appconfigs.h"
#include "app/config/configsaveload.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/ftpfileuploader.h"
#include "testutil.h"
#include "utillib/globalutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

TEST(AppModel, DefaultsAndAddresses)
{
    auto app = NewConfig<TAppConfig>();
    EXPECT_EQ(app->GeneralConfig()->SkinIndex(), 0);
    EXPECT_TRUE(app->GeneralConfig()->EnableWindowAnimation());
    EXPECT_TRUE(app->GeneralConfig()->EnableControlEffects());
    EXPECT_EQ(app->GeneralConfig()->AutoOpenWordEditorOn(), TGeneralConfig::owTextOnlyContent);
    EXPECT_EQ(app->MoodleSysConfigPresets()->Count(), 0);
    EXPECT_EQ(app->CurrMoodleSysConfig(), nullptr);

    TConfigPreset* p = app->MoodleSysConfigPresets()->Add();
    auto* site = static_cast<TMoodleSysConfig*>(p->Config());
    site->SetRootUrl(QStringLiteral("http://s"));
    EXPECT_EQ(site->LoginUrl(), QStringLiteral("http://s/login/"));
    EXPECT_EQ(site->RepoUploadUrl(), QStringLiteral("http://s/repository/repository_ajax.php?action=upload"));
    site->SetRootUrl(QStringLiteral("http://s/"));
    EXPECT_EQ(site->LoginUrl(), QStringLiteral("http://s//login/")); // joined as they are
    app->MoodleSysConfigPresets()->SetCurrPreset(p);
    EXPECT_EQ(app->CurrMoodleSysConfig(), site);

    site->SetFileUploadMethod(TMoodleSysConfig::umCustom);
    EXPECT_EQ(site->ActualFileUploadMethod(), TMoodleSysConfig::umMoodle);
    site->SetCustomFileUploaderConfigName(QStringLiteral("nowhere"));
    EXPECT_EQ(site->ActualFileUploadMethod(), TMoodleSysConfig::umCustom);
}

TEST(AppModel, Bookmarks)
{
    TSiteBookmarkCollection b;
    try {
        b.AddBookmark(QStringLiteral("  "), QStringLiteral("http://a"));
        FAIL();
    } catch (const EVantoliException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Bookmark title can not be empty"));
    }
    try {
        b.AddBookmark(QStringLiteral("t"), QStringLiteral(" "));
        FAIL();
    } catch (const EVantoliException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Bookmark URL can not be empty"));
    }
    EXPECT_EQ(b.Count(), 0);
    TSiteBookmarkItem* a = b.AddBookmark(QStringLiteral("A"), QStringLiteral("http://a"));
    EXPECT_EQ(b.AddBookmark(QString(), QStringLiteral("http://a")), a); // renamed, unvalidated
    EXPECT_TRUE(a->Title().isEmpty());
    b.AddBookmark(QStringLiteral("B"), QStringLiteral("HTTP://A")); // case counts
    EXPECT_EQ(b.Count(), 2);
    EXPECT_EQ(b.IndexOfUrl(QStringLiteral("HTTP://A")), 1);
    EXPECT_EQ(b.FindByUrl(QStringLiteral("http://none")), nullptr);
}

TEST(AppModel, SitesOfAnUploaderPreset)
{
    TMoodleSysConfigPresets p;
    auto set = [&](TMoodleSysConfig::TMoodleFileUploadMethod m, const char* name) {
        auto* s = static_cast<TMoodleSysConfig*>(p.Add()->Config());
        s->SetFileUploadMethod(m);
        s->SetCustomFileUploaderConfigName(QString::fromLatin1(name));
    };
    set(TMoodleSysConfig::umCustom, "ftp");
    set(TMoodleSysConfig::umMoodle, "ftp");
    set(TMoodleSysConfig::umCustom, "FTP");
    set(TMoodleSysConfig::umCustom, "ftp");
    QList<TConfigPreset*> found = p.GetPresetsOfCustomFileUploaderWithConfigName(QStringLiteral("ftp"));
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0]->Index(), 0);
    EXPECT_EQ(found[1]->Index(), 3);
}

// LoadConfigs/SaveConfigs against a private user folder (APPDATA) and a
// default folder beside the test executable.
class ConfigFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FUser.isValid());
        FEnv = std::make_unique<ScopedEnv>("APPDATA", FUser.path().toUtf8());
        FDefault = TVantoliConfigPersistent::DefaultConfigPath();
        QDir(FDefault).removeRecursively();
        Reset();
    }
    void TearDown() override
    {
        QDir(FDefault).removeRecursively();
        Reset();
    }
    static void Reset()
    {
        AppConfig()->MoodleSysConfigPresets()->Clear();
        AppConfig()->GeneralConfig()->SetDefaultValues();
        AppConfig()->GeneralConfig()->SetSkinIndex(0);
        FileUploaderPresetsConfig()->Presets()->Clear();
    }
    static QByteArray AppFile(int skin, const char* siteTitle)
    {
        auto app = NewConfig<TAppConfig>();
        app->GeneralConfig()->SetSkinIndex(skin);
        app->MoodleSysConfigPresets()->Add()->SetTitle(QString::fromLatin1(siteTitle));
        return TXmlObjectStorage().SaveToBytes(app.get());
    }
    static QByteArray UploadersFile(const char* host)
    {
        auto up = NewConfig<TFileUploaderPresetsConfig>();
        auto* ftp = static_cast<TFtpFileUploaderConfig*>(up->Presets()->CreateItem(TFtpFileUploader::GetConfigClass())->Config());
        ftp->SetHost(QString::fromLatin1(host));
        return TXmlObjectStorage().SaveToBytes(up.get());
    }
    static QString FtpHost()
    {
        auto* c = qobject_cast<TFtpFileUploaderConfig*>(FileUploaderPresetsConfig()->Presets()->Presets(0)->Config());
        return c ? c->Host() : QString();
    }
    QString UserDir() const { return FUser.path() + QStringLiteral("/Vantoli/"); }

    QTemporaryDir FUser;
    std::unique_ptr<ScopedEnv> FEnv;
    QString FDefault;
};

TEST_F(ConfigFiles, FirstRunWritesPrivateFiles)
{
    EXPECT_EQ(TVantoliConfigPersistent::UserConfigPath(), UserDir());
    TVantoliConfigPersistent::LoadConfigs();
    EXPECT_EQ(AppConfig()->MoodleSysConfigPresets()->Count(), 0);
    TVantoliConfigPersistent::SaveConfigs();
    EXPECT_EQ(testutil::fileMode(UserDir()), 0700);
    EXPECT_EQ(testutil::fileMode(UserDir() + "vantoli.cfg"), 0600);
    EXPECT_EQ(testutil::fileMode(UserDir() + "uploaders.cfg"), 0600);
}

TEST_F(ConfigFiles, UserFilesWinOverDefaultsFilePerFile)
{
    testutil::writeFile(FDefault + "vantoli.cfg", AppFile(2, "Default site"));
    testutil::writeFile(FDefault + "uploaders.cfg", UploadersFile("default.host"));
    testutil::writeFile(UserDir() + "vantoli.cfg", AppFile(3, "My site"));
    TVantoliConfigPersistent::LoadConfigs();
    EXPECT_EQ(AppConfig()->GeneralConfig()->SkinIndex(), 3);
    EXPECT_EQ(AppConfig()->MoodleSysConfigPresets()->PresetTitles(), QStringList({"My site"}));
    EXPECT_EQ(FtpHost(), QStringLiteral("default.host")); // no user file: the default one

    // The first save writes the user's own files; the default folder is never written.
    const QByteArray defaultBefore = testutil::readFile(FDefault + "uploaders.cfg");
    TVantoliConfigPersistent::SaveConfigs();
    EXPECT_EQ(testutil::readFile(FDefault + "uploaders.cfg"), defaultBefore);
    EXPECT_TRUE(testutil::readFile(UserDir() + "uploaders.cfg").contains("default.host"));
}

TEST_F(ConfigFiles, MalformedUserFileMeansDefaultsAndIsReplaced)
{
    testutil::writeFile(FDefault + "vantoli.cfg", AppFile(2, "Default site"));
    testutil::writeFile(UserDir() + "vantoli.cfg", "<root><Obj>(TAppConfig)<GeneralConfig>");
    TVantoliConfigPersistent::LoadConfigs();
    EXPECT_EQ(AppConfig()->GeneralConfig()->SkinIndex(), 0);
    EXPECT_EQ(AppConfig()->MoodleSysConfigPresets()->Count(), 0);
    TVantoliConfigPersistent::SaveConfigs();
    auto check = NewConfig<TAppConfig>();
    check->GeneralConfig()->SetSkinIndex(9);
    TXmlObjectStorage().LoadFromBytes(check.get(), testutil::readFile(UserDir() + "vantoli.cfg"));
    EXPECT_EQ(check->GeneralConfig()->SkinIndex(), 0);
}
