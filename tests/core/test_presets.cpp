// Presets: generated names and titles, validation, the current preset,
// flexible presets, AddConfig.
#include "coretest.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/ftpfileuploader.h"

namespace {

TConfigPreset* AddTitled(TConfigPresets& p, const char* title)
{
    TConfigPreset* preset = p.Add();
    preset->SetTitle(QString::fromLatin1(title));
    return preset;
}

void ExpectPresetError(const std::function<void()>& f, const char* message)
{
    try {
        f();
        ADD_FAILURE() << "expected " << message;
    } catch (const EConfigPresetException& e) {
        EXPECT_EQ(e.Message(), QString::fromLatin1(message));
    }
}

} // namespace

TEST(Presets, GeneratedNamesAndTitles)
{
    TMoodleSysConfigPresets p;
    TConfigPreset* a = p.Add();
    TConfigPreset* b = p.Add();
    EXPECT_EQ(a->Name(), QStringLiteral("Item_0"));
    EXPECT_EQ(a->Title(), QStringLiteral("Untitled 0"));
    EXPECT_EQ(b->Name(), QStringLiteral("Item_1"));
    EXPECT_EQ(b->Title(), QStringLiteral("Untitled 1"));

    // Deleting Item_0 and adding: index 1 is taken by Item_1, so Item_2.
    p.Delete(0);
    TConfigPreset* c = p.Add();
    EXPECT_EQ(c->Name(), QStringLiteral("Item_2"));
    EXPECT_EQ(c->Title(), QStringLiteral("Untitled 2"));

    // Titles compare case-insensitively: "untitled 2" takes 2.
    TMoodleSysConfigPresets q;
    AddTitled(q, "Untitled 1");
    AddTitled(q, "untitled 2");
    EXPECT_EQ(q.Add()->Title(), QStringLiteral("Untitled 3"));

    // Duplicates allowed: names are not made unique.
    TMoodleSysConfigPresets d;
    d.SetOptions(d.Options() | TConfigPresetsOptions::poAllowItemNameDuplicate);
    d.Add();
    d.Add()->SetName(QStringLiteral("Item_2"));
    d.Delete(0);
    TConfigPreset* e = d.Add();
    EXPECT_EQ(e->Name(), QStringLiteral("Item_1"));
    e->SetName(QStringLiteral("Item_2"));
    EXPECT_EQ(e->Name(), QStringLiteral("Item_2"));
}

TEST(Presets, Validation)
{
    TMoodleSysConfigPresets p;
    TConfigPreset* a = p.Add();
    TConfigPreset* b = p.Add();
    a->SetTitle(QStringLiteral("School"));
    ExpectPresetError([&] { b->SetName(QString()); }, "Preset name is empty");
    ExpectPresetError([&] { b->SetTitle(QString()); }, "Preset title is empty");
    ExpectPresetError([&] { b->SetName(QStringLiteral("Item_0")); }, "Duplicated preset name");
    ExpectPresetError([&] { b->SetTitle(QStringLiteral("SCHOOL")); }, "Duplicated preset title");
    EXPECT_EQ(b->Name(), QStringLiteral("Item_1")); // old values stay
    EXPECT_EQ(b->Title(), QStringLiteral("Untitled 1"));

    b->SetName(QStringLiteral("item_0")); // names compare case-sensitively
    b->SetName(QStringLiteral(" "));      // blanks are not empty
    a->SetTitle(QStringLiteral("school")); // own title, other case: accepted
    EXPECT_EQ(a->Title(), QStringLiteral("school"));
    a->SetName(a->Name()); // same value never raises

    p.SetOptions(p.Options() | TConfigPresetsOptions::poAllowItemTitleEmpty);
    b->SetTitle(QString());
    EXPECT_TRUE(b->Title().isEmpty());
}

TEST(Presets, CurrentPreset)
{
    TMoodleSysConfigPresets p, other;
    p.Add();
    TConfigPreset* b = p.Add();
    TConfigPreset* foreign = other.Add();
    EXPECT_EQ(p.CurrPreset(), nullptr);
    p.SetCurrPreset(b);
    EXPECT_EQ(p.CurrPresetIndex(), 1);
    p.SetCurrPreset(foreign);
    EXPECT_EQ(p.CurrPresetIndex(), 1);
    p.SetCurrPresetIndex(5);
    EXPECT_EQ(p.CurrPreset(), nullptr);
    p.SetCurrPreset(nullptr);
    EXPECT_EQ(p.CurrPresetIndex(), -1);
}

TEST(Presets, AddConfigCopiesAndRollsBack)
{
    TMoodleSysConfigPresets p;
    auto site = NewConfig<TMoodleSysConfig>();
    site->SetRootUrl(QStringLiteral("http://x"));
    TConfigPreset* a = p.AddConfig(site.get(), QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("d"), QStringLiteral("me"));
    EXPECT_EQ(a->Name(), QStringLiteral("a"));
    EXPECT_EQ(a->Author(), QStringLiteral("me"));
    EXPECT_EQ(static_cast<TMoodleSysConfig*>(a->Config())->RootUrl(), QStringLiteral("http://x"));
    EXPECT_NE(a->Config(), site.get());

    EXPECT_THROW(p.AddConfig(site.get(), QStringLiteral("a"), QString(), QString(), QString()), EConfigPresetException);
    EXPECT_EQ(p.Count(), 1);

    // Copying a whole collection rebuilds it preset by preset; authors are not copied.
    TMoodleSysConfigPresets copy;
    copy.Assign(&p);
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.Presets(0)->Name(), QStringLiteral("a"));
    EXPECT_EQ(copy.Presets(0)->Title(), QStringLiteral("A"));
    EXPECT_EQ(copy.Presets(0)->Description(), QStringLiteral("d"));
    EXPECT_TRUE(copy.Presets(0)->Author().isEmpty());
    EXPECT_EQ(copy.SiteConfig(0)->RootUrl(), QStringLiteral("http://x"));
}

TEST(Presets, FlexiblePresetsChooseTheirClass)
{
    TFileUploaderConfigPresets p;
    TFlexConfigPreset* a = p.CreateItem(TFtpFileUploader::GetConfigClass());
    auto* ftp = qobject_cast<TFtpFileUploaderConfig*>(a->Config());
    ASSERT_NE(ftp, nullptr);
    ftp->SetHost(QStringLiteral("h"));
    EXPECT_EQ(a->Get_ConfigClassName(), QStringLiteral("TFtpFileUploader.TFtpFileUploaderConfig"));

    // A change of class drops the old object; the new one has its defaults.
    a->Set_ConfigClass(&TConfig::staticMetaObject);
    EXPECT_EQ(qobject_cast<TFtpFileUploaderConfig*>(a->Config()), nullptr);
    a->Set_ConfigClassName(QStringLiteral("TFtpFileUploader.TFtpFileUploaderConfig"));
    a->Set_ConfigClass(nullptr);
    EXPECT_EQ(a->Config(), nullptr);
    a->Set_ConfigClassName(QStringLiteral("TFtpFileUploader.TFtpFileUploaderConfig"));
    auto* fresh = qobject_cast<TFtpFileUploaderConfig*>(a->Config());
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->Host().isEmpty());
    EXPECT_EQ(fresh->Port(), 21);

    try {
        a->Set_ConfigClassName(QStringLiteral("TNope"));
        FAIL();
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Class TNope not found"));
    }
    EXPECT_EQ(a->Get_ConfigClassName(), QStringLiteral("TFtpFileUploader.TFtpFileUploaderConfig"));

    // Fixed-class presets never report a class name.
    TMoodleSysConfigPresets sites;
    EXPECT_TRUE(sites.Add()->Get_ConfigClassName().isEmpty());
}
