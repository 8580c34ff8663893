// The configuration file format: the exact bytes written, and how reading
// treats names, texts, order, class markers, collections and errors.
#include "coretest.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/ftpfileuploader.h"
#include "testutil.h"
#include "utillib/xmlobjectstorage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace {

const ::testing::Environment* const kXmlEnv = ::testing::AddGlobalTestEnvironment(new XmlStorageEnvironment);

QByteArray Save(TPersistent* obj)
{
    return TXmlObjectStorage().SaveToBytes(obj);
}

void Load(TPersistent* obj, const QByteArray& bytes)
{
    TXmlObjectStorage().LoadFromBytes(obj, bytes);
}

// Loads as the program does: through the manager, errors suppressed.
bool LoadSuppressed(TPersistent* obj, const QByteArray& bytes)
{
    QBuffer buf;
    buf.setData(bytes);
    buf.open(QIODevice::ReadOnly);
    return ObjectStorageManager().LoadFromStream(obj, &buf, QStringLiteral("xml"), true);
}

QByteArray WrapApp(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<root>\r\n  <Obj>(TAppConfig)\r\n" + body + "  </Obj>\r\n</root>\r\n";
}

// A configuration whose writing fails part-way, as a full disk would.
class TThrowingConfig : public TConfig {
    Q_OBJECT
    Q_PROPERTY(QString First READ First WRITE SetFirst)
    Q_PROPERTY(QString Boom READ Boom WRITE SetBoom)
public:
    QString First() const { return QStringLiteral("written"); }
    void SetFirst(const QString&) {}
    QString Boom() const { throw EInOutError(QStringLiteral("disk full")); }
    void SetBoom(const QString&) {}
};

} // namespace

TEST(XmlLayout, ExampleConfigurationByteForByte)
{
    auto app = NewConfig<TAppConfig>();
    TConfigPreset* preset = app->MoodleSysConfigPresets()->Add();
    preset->SetTitle(QStringLiteral("School site"));
    static_cast<TMoodleSysConfig*>(preset->Config())->SetAccountName(QStringLiteral("teacher1"));

    const QByteArray expected = CrLf({
        R"(<?xml version="1.0" encoding="UTF-8"?>)",
        R"(<root>)",
        R"(  <Obj>(TAppConfig))",
        R"(    <GeneralConfig>(TGeneralConfig))",
        R"(      <SkinIndex>0</SkinIndex>)",
        R"(      <EnableWindowAnimation>True</EnableWindowAnimation>)",
        R"(      <EnableControlEffects>True</EnableControlEffects>)",
        R"(      <AutoOpenWordEditorOn>owTextOnlyContent</AutoOpenWordEditorOn>)",
        R"(    </GeneralConfig>)",
        R"(    <MoodleSysConfigPresets>(TMoodleSysConfigPresets))",
        R"(      <TConfigPreset>)",
        R"(        <Name>Item_0</Name>)",
        R"(        <Title>School site</Title>)",
        R"(        <Config>(TMoodleSysConfig))",
        R"(          <LoginPath>/login/</LoginPath>)",
        R"(          <RepoUploadPath>/repository/repository_ajax.php?action=upload</RepoUploadPath>)",
        R"(          <AccountName>teacher1</AccountName>)",
        R"(          <AutoLogin>False</AutoLogin>)",
        R"(          <FileUploadMethod>umMoodle</FileUploadMethod>)",
        R"(        </Config>)",
        R"(      </TConfigPreset>)",
        R"(    </MoodleSysConfigPresets>)",
        R"(  </Obj>)",
        R"(</root>)",
    });
    EXPECT_EQ(Save(app.get()), expected);

    // Through the file storage the bytes are the same, without a BOM.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sub/vantoli.cfg"));
    app->SaveToFile(file, QStringLiteral("xml"));
    EXPECT_EQ(testutil::readFile(file), expected);
}

TEST(XmlLayout, OptionalFieldsBookmarksFlexPresetsAndEntities)
{
    auto app = NewConfig<TAppConfig>();
    TConfigPreset* preset = app->MoodleSysConfigPresets()->Add();
    auto* site = static_cast<TMoodleSysConfig*>(preset->Config());
    site->SetRootUrl(QStringLiteral("http://a.b/?x=1&y=<2>"));
    site->SetAccountPassword(QStringLiteral("p'\"w"));
    site->SetFileUploadMethod(TMoodleSysConfig::umCustom);
    site->SetCustomFileUploaderConfigName(QStringLiteral("Item_0"));
    site->Bookmarks()->AddBookmark(QStringLiteral("Course"), QStringLiteral("http://a.b/course"));
    site->Bookmarks()->Add(); // a bookmark that writes no property

    const QByteArray bytes = Save(app.get());
    const QByteArray configPart = CrLf({
        R"(        <Config>(TMoodleSysConfig))",
        R"(          <RootUrl>http://a.b/?x=1&amp;y=&lt;2&gt;</RootUrl>)",
        R"(          <LoginPath>/login/</LoginPath>)",
        R"(          <RepoUploadPath>/repository/repository_ajax.php?action=upload</RepoUploadPath>)",
        R"(          <AccountPassword>p&apos;&quot;w</AccountPassword>)",
        R"(          <AutoLogin>False</AutoLogin>)",
        R"(          <FileUploadMethod>umCustom</FileUploadMethod>)",
        R"(          <CustomFileUploaderConfigName>Item_0</CustomFileUploaderConfigName>)",
        R"(          <Bookmarks>(TSiteBookmarkCollection))",
        R"(            <TSiteBookmarkItem>)",
        R"(              <Title>Course</Title>)",
        R"(              <Url>http://a.b/course</Url>)",
        R"(            </TSiteBookmarkItem>)",
        R"(            <TSiteBookmarkItem/>)",
        R"(          </Bookmarks>)",
        R"(        </Config>)",
    });
    EXPECT_TRUE(bytes.contains(configPart)) << bytes.constData();

    auto back = NewConfig<TAppConfig>();
    Load(back.get(), bytes);
    auto* site2 = back->MoodleSysConfigPresets()->SiteConfig(0);
    EXPECT_EQ(site2->RootUrl(), site->RootUrl());
    EXPECT_EQ(site2->AccountPassword(), site->AccountPassword());
    EXPECT_EQ(site2->Bookmarks()->Count(), 2);
    EXPECT_EQ(site2->ActualFileUploadMethod(), TMoodleSysConfig::umCustom);

    // Uploader presets: the flexible preset names its settings class first.
    auto uploaders = NewConfig<TFileUploaderPresetsConfig>();
    TFlexConfigPreset* ftp = uploaders->Presets()->CreateItem(TFtpFileUploader::GetConfigClass());
    static_cast<TFtpFileUploaderConfig*>(ftp->Config())->SetHost(QStringLiteral("ftp.example"));
    const QByteArray up = Save(uploaders.get());
    EXPECT_TRUE(up.contains(CrLf({
        R"(  <Obj>(TFileUploaderPresetsConfig))",
        R"(    <Presets>(TFileUploaderConfigPresets))",
        R"(      <TFlexConfigPreset>)",
        R"(        <_ConfigClassName>TFtpFileUploader.TFtpFileUploaderConfig</_ConfigClassName>)",
        R"(        <Name>Item_0</Name>)",
        R"(        <Title>Untitled 0</Title>)",
        R"(        <Config>(TFtpFileUploader.TFtpFileUploaderConfig))",
        R"(          <Host>ftp.example</Host>)",
        R"(          <Port>21</Port>)",
        R"(          <UserName>anonymous</UserName>)",
        R"(          <AutoDestFileName>True</AutoDestFileName>)",
        R"(          <AutoCreateSessionDir>False</AutoCreateSessionDir>)",
        R"(          <UseTls>False</UseTls>)",
        R"(        </Config>)",
    }))) << up.constData();

    // A file written before UseTls existed loads as it did, with TLS off; one
    // that asks for it gets it.
    QByteArray older = up;
    older.replace("          <UseTls>False</UseTls>\r\n", "");
    ASSERT_FALSE(older.contains("UseTls"));
    auto olderBack = NewConfig<TFileUploaderPresetsConfig>();
    Load(olderBack.get(), older);
    auto* olderFtp = qobject_cast<TFtpFileUploaderConfig*>(olderBack->Presets()->Presets(0)->Config());
    ASSERT_NE(olderFtp, nullptr);
    EXPECT_EQ(olderFtp->Host(), QStringLiteral("ftp.example"));
    EXPECT_FALSE(olderFtp->UseTls());
    EXPECT_EQ(Save(olderBack.get()), up);
    QByteArray withTls = up;
    withTls.replace("<UseTls>False</UseTls>", "<UseTls>True</UseTls>");
    auto tlsBack = NewConfig<TFileUploaderPresetsConfig>();
    Load(tlsBack.get(), withTls);
    EXPECT_TRUE(qobject_cast<TFtpFileUploaderConfig*>(tlsBack->Presets()->Presets(0)->Config())->UseTls());

    auto upBack = NewConfig<TFileUploaderPresetsConfig>();
    Load(upBack.get(), up);
    ASSERT_EQ(upBack->Presets()->Count(), 1);
    auto* ftpBack = qobject_cast<TFtpFileUploaderConfig*>(upBack->Presets()->Presets(0)->Config());
    ASSERT_NE(ftpBack, nullptr);
    EXPECT_EQ(ftpBack->Host(), QStringLiteral("ftp.example"));
}

TEST(XmlLayout, EmptyObjectWritesBareRoot)
{
    TStringList empty; // no published properties
    EXPECT_EQ(Save(&empty), CrLf({R"(<?xml version="1.0" encoding="UTF-8"?>)", "<root></root>"}));
}

TEST(XmlReading, NamesTextsAndOrderAreForgiving)
{
    auto app = NewConfig<TAppConfig>();
    // Lower-case names, surrounding blanks and elements out of order.
    Load(app.get(), WrapApp("    <moodlesysconfigpresets>(TMoodleSysConfigPresets)\r\n"
                            "      <x><config> (TMoodleSysConfig)  <rooturl>\t http://s/ \r\n</rooturl>"
                            "<AUTOLOGIN>true</AUTOLOGIN></config><title>T</title><NAME>n</NAME></x>\r\n"
                            "    </moodlesysconfigpresets>\r\n"
                            "    <GeneralConfig>(TGeneralConfig)<SkinIndex>3</SkinIndex>"
                            "<AutoOpenWordEditorOn>OWNEVER</AutoOpenWordEditorOn><Unknown>1</Unknown></GeneralConfig>\r\n"));
    EXPECT_EQ(app->GeneralConfig()->SkinIndex(), 3);
    EXPECT_EQ(app->GeneralConfig()->AutoOpenWordEditorOn(), TGeneralConfig::owNever);
    EXPECT_TRUE(app->GeneralConfig()->EnableWindowAnimation()); // absent: keeps its value
    ASSERT_EQ(app->MoodleSysConfigPresets()->Count(), 1);
    TConfigPreset* p = app->MoodleSysConfigPresets()->Presets(0);
    EXPECT_EQ(p->Name(), QStringLiteral("n"));
    EXPECT_EQ(p->Title(), QStringLiteral("T"));
    auto* site = app->MoodleSysConfigPresets()->SiteConfig(0);
    EXPECT_EQ(site->RootUrl(), QStringLiteral("http://s/"));
    EXPECT_TRUE(site->AutoLogin());
    EXPECT_EQ(site->LoginPath(), QStringLiteral("/login/")); // absent: the default stays
}

TEST(XmlReading, CollectionsAreReplacedOrKept)
{
    auto app = NewConfig<TAppConfig>();
    app->MoodleSysConfigPresets()->Add();
    app->MoodleSysConfigPresets()->Add();

    // No element: the current items stay.
    Load(app.get(), WrapApp("    <GeneralConfig>(TGeneralConfig)<SkinIndex>1</SkinIndex></GeneralConfig>\r\n"));
    EXPECT_EQ(app->MoodleSysConfigPresets()->Count(), 2);

    // An element: all items replaced. A comment and a stray text between the
    // items are nodes of their own and yield items with nothing read.
    Load(app.get(), WrapApp("    <MoodleSysConfigPresets>(TMoodleSysConfigPresets)<TConfigPreset><Name>a</Name></TConfigPreset>"
                            "<!-- note -->stray<TConfigPreset><Name>b</Name></TConfigPreset></MoodleSysConfigPresets>\r\n"));
    QStringList names = app->MoodleSysConfigPresets()->PresetNames();
    EXPECT_EQ(names, QStringList({"a", "Item_1", "Item_2", "b"}));
}

TEST(XmlReading, ErrorsStopWhereTheyOccur)
{
    struct Case {
        const char* what;
        QByteArray body;
        int skin;         // GeneralConfig.SkinIndex afterwards
        QStringList names; // presets afterwards
    };
    const QByteArray general = "    <GeneralConfig>(TGeneralConfig)<SkinIndex>2</SkinIndex></GeneralConfig>\r\n";
    const std::vector<Case> cases = {
        {"unknown enum name stops before later properties",
         "    <GeneralConfig>(TGeneralConfig)<SkinIndex>2</SkinIndex><EnableWindowAnimation>yes</EnableWindowAnimation></GeneralConfig>\r\n"
         "    <MoodleSysConfigPresets>(TMoodleSysConfigPresets)<TConfigPreset><Name>a</Name></TConfigPreset></MoodleSysConfigPresets>\r\n",
         2, {"old"}},
        {"wrong class marker of a sub-object",
         general + "    <MoodleSysConfigPresets>(TSomethingElse)<TConfigPreset><Name>a</Name></TConfigPreset></MoodleSysConfigPresets>\r\n",
         2, {"old"}},
        {"integer that is not a number",
         "    <GeneralConfig>(TGeneralConfig)<SkinIndex>two</SkinIndex></GeneralConfig>\r\n", 0, {"old"}},
        {"duplicate title stops at the second preset",
         general + "    <MoodleSysConfigPresets>(TMoodleSysConfigPresets)"
                   "<TConfigPreset><Name>a</Name><Title>Site</Title></TConfigPreset>"
                   "<TConfigPreset><Name>b</Name><Title>SITE</Title><Description>d</Description></TConfigPreset>"
                   "<TConfigPreset><Name>c</Name></TConfigPreset></MoodleSysConfigPresets>\r\n",
         2, {"a", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto app = NewConfig<TAppConfig>();
        app->MoodleSysConfigPresets()->Add()->SetName(QStringLiteral("old"));
        EXPECT_FALSE(LoadSuppressed(app.get(), WrapApp(c.body)));
        EXPECT_EQ(app->GeneralConfig()->SkinIndex(), c.skin);
        EXPECT_EQ(app->MoodleSysConfigPresets()->PresetNames(), c.names);
    }

    // The second preset of the duplicate-title case kept its generated title
    // and read nothing after it.
    auto app = NewConfig<TAppConfig>();
    LoadSuppressed(app.get(), WrapApp(cases[3].body));
    EXPECT_EQ(app->MoodleSysConfigPresets()->Presets(1)->Title(), QStringLiteral("Untitled 1"));
    EXPECT_TRUE(app->MoodleSysConfigPresets()->Presets(1)->Description().isEmpty());

    // A file written for another class changes nothing.
    auto uploaders = NewConfig<TFileUploaderPresetsConfig>();
    uploaders->Presets()->CreateItem(TFtpFileUploader::GetConfigClass());
    auto target = NewConfig<TAppConfig>();
    target->GeneralConfig()->SetSkinIndex(4);
    EXPECT_FALSE(LoadSuppressed(target.get(), Save(uploaders.get())));
    EXPECT_EQ(target->GeneralConfig()->SkinIndex(), 4);
}

TEST(XmlReading, UnregisteredUploaderClassStopsAtThatPreset)
{
    auto uploaders = NewConfig<TFileUploaderPresetsConfig>();
    const QByteArray doc = "<?xml version=\"1.0\"?><root><Obj>(TFileUploaderPresetsConfig)<Presets>(TFileUploaderConfigPresets)"
                           "<TFlexConfigPreset><_ConfigClassName>TFtpFileUploader.TFtpFileUploaderConfig</_ConfigClassName><Name>one</Name></TFlexConfigPreset>"
                           "<TFlexConfigPreset><_ConfigClassName>TNoSuchConfig</_ConfigClassName><Name>two</Name></TFlexConfigPreset>"
                           "<TFlexConfigPreset><Name>three</Name></TFlexConfigPreset>"
                           "</Presets></Obj></root>";
    EXPECT_FALSE(LoadSuppressed(uploaders.get(), doc));
    EXPECT_EQ(uploaders->Presets()->PresetNames(), QStringList({"one", "Item_1"}));
    try {
        Load(uploaders.get(), doc);
        FAIL() << "expected the class lookup to fail";
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Class TNoSuchConfig not found"));
    }
}

TEST(XmlReading, SetsAndEmptyStrings)
{
    // Options are never stored with a collection; a test object shows the
    // set form both ways.
    TConfigPresets presets(&TConfig::staticMetaObject);
    presets.SetOptions(TConfigPresetsOptions::poAllowItemNameEmpty | TConfigPresetsOptions::poAutoCreateItemTitle);
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("root");
    TsdXmlObjectWriter().WriteObject(root, &presets);
    EXPECT_STREQ(root.child("Options").text().get(), "[poAllowItemNameEmpty,poAutoCreateItemTitle]");
    EXPECT_STREQ(root.child("CurrPresetIndex").text().get(), "-1");

    struct SetCase { const char* text; TConfigPresetsOptionSet want; bool ok; };
    const SetCase setCases[] = {
        {"[]", {}, true},
        {"[,poAllowItemNameDuplicate,poautocreateitemname]", TConfigPresetsOptions::poAllowItemNameDuplicate | TConfigPresetsOptions::poAutoCreateItemName, true},
        {"[poAllowItemNameEmpty, poAutoCreateItemName]", {}, false}, // blanks are not removed
    };
    for (const SetCase& c : setCases) {
        SCOPED_TRACE(c.text);
        TConfigPresets p(&TConfig::staticMetaObject);
        pugi::xml_document d;
        pugi::xml_node r = d.append_child("root");
        r.append_child("Options").text().set(c.text);
        TsdXmlObjectReader reader;
        reader.SetIgnoreUnfoundPropties(true);
        if (c.ok) {
            reader.ReadObject(r, &p);
            EXPECT_EQ(p.Options(), c.want);
        } else {
            EXPECT_THROW(reader.ReadObject(r, &p), EPropertyError);
        }
    }

    // An emptied string is not written, so its default returns after a load.
    auto app = NewConfig<TAppConfig>();
    app->MoodleSysConfigPresets()->Add();
    app->MoodleSysConfigPresets()->SiteConfig(0)->SetLoginPath(QString());
    auto back = NewConfig<TAppConfig>();
    Load(back.get(), Save(app.get()));
    EXPECT_EQ(back->MoodleSysConfigPresets()->SiteConfig(0)->LoginPath(), QStringLiteral("/login/"));
}

TEST(XmlReading, DamagedInputNeverCrashes)
{
    auto sound = NewConfig<TAppConfig>();
    for (int i = 0; i < 3; ++i)
        sound->MoodleSysConfigPresets()->Add()->SetTitle(QStringLiteral("Site %1").arg(i));
    const QByteArray good = Save(sound.get());

    QByteArray random(4096, '\0');
    QRandomGenerator gen(42);
    for (char& c : random)
        c = static_cast<char>(gen.bounded(256));

    QByteArray deep = "<root><Obj>(TAppConfig)";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    QByteArray huge = "<root><Obj>(TAppConfig)<GeneralConfig>(TGeneralConfig)";
    while (huge.size() < 50 * 1024 * 1024)
        huge += "<Unknown>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx</Unknown>\r\n";
    huge += "<SkinIndex>5</SkinIndex></GeneralConfig></Obj></root>";

    struct Case { const char* what; QByteArray bytes; bool loads; };
    const std::vector<Case> cases = {
        {"truncated", good.left(good.size() / 2), false},
        {"random bytes", random, false},
        {"empty", QByteArray(), false},
        {"no root", "<?xml version=\"1.0\"?>", false},
        {"deep nesting, unclosed", deep, false},
        {"50 MB of unknown elements", huge, true},
        {"wrong root marker", "<root><Obj>(TFileUploaderPresetsConfig)</Obj></root>", false},
        {"other root name", "<config><Obj>(TAppConfig)<GeneralConfig>(TGeneralConfig)<SkinIndex>5</SkinIndex></GeneralConfig></Obj></config>", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto app = NewConfig<TAppConfig>();
        EXPECT_EQ(LoadSuppressed(app.get(), c.bytes), c.loads);
        EXPECT_EQ(app->GeneralConfig()->SkinIndex(), c.loads ? 5 : 0);
    }
}

TEST(ObjectStorageManager, RegistrationAndDefaults)
{
    TObjectStorageManager m; // a private manager: the program's own stays registered
    TStringList obj;
    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    EXPECT_FALSE(m.SaveToStream(&obj, &buf, QString(), true));
    try {
        m.SaveToStream(&obj, &buf, QString(), false);
        FAIL();
    } catch (const EObjStorageError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No object save/loader registered"));
    }

    m.RegisterStorage(QStringLiteral("xml"), std::make_shared<TXmlObjectStorage>());
    EXPECT_EQ(m.DefaultStorageType(), QStringLiteral("xml"));
    EXPECT_TRUE(m.SaveToStream(&obj, &buf, QString(), true));
    try {
        m.SaveToStream(&obj, &buf, QStringLiteral("XML"), false);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Item not found"));
    }

    m.RegisterStorage(QStringLiteral("other"), std::make_shared<TXmlObjectStorage>());
    EXPECT_EQ(m.DefaultStorageType(), QStringLiteral("xml"));
    m.UnregisterStorage(QStringLiteral("xml"));
    EXPECT_EQ(m.DefaultStorageType(), QStringLiteral("xml"));
    EXPECT_THROW(m.SaveToStream(&obj, &buf, QString(), false), EListError);
    EXPECT_TRUE(m.SaveToStream(&obj, &buf, QStringLiteral("other"), false));
}

TEST(ObjectStorageManager, FilesAreWrittenSafely)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a/b/c.cfg"));
    auto app = NewConfig<TAppConfig>();
    app->GeneralConfig()->SetSkinIndex(1);
    ASSERT_TRUE(ObjectStorageManager().SaveToFile(app.get(), file, QStringLiteral("xml"), false));
    EXPECT_EQ(testutil::fileMode(file), 0600);

    // Loading a missing file fails before the object is touched.
    try {
        ObjectStorageManager().LoadFromFile(app.get(), dir.filePath(QStringLiteral("none.cfg")), QStringLiteral("xml"), false);
        FAIL();
    } catch (const EFileNotFound& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("File \"%1\" not found").arg(dir.filePath(QStringLiteral("none.cfg"))));
    }

    // A save that fails half-way leaves the old file as it was.
    const QByteArray before = testutil::readFile(file);
    TThrowingConfig failing;
    EXPECT_FALSE(ObjectStorageManager().SaveToFile(&failing, file, QStringLiteral("xml"), true));
    EXPECT_EQ(testutil::readFile(file), before);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("a/b"))).entryList(QDir::Files | QDir::Hidden), QStringList({"c.cfg"}));
}

#include "test_xml_storage.moc"
