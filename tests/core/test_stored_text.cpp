// Texts come back from the stored files as they went in, whatever characters
// they hold (cases a fuzzer found: a carriage return came back as a line feed).
#include "app/config/appconfigs.h"
#include "utillib/objstorages.h"
#include "utillib/placementstore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const struct {
    const char* what;
    QString text;
} kTexts[] = {
    {"carriage return inside", QStringLiteral("a\rb")},
    {"CR LF inside", QStringLiteral("line 1\r\nline 2")},
    {"line feed inside", QStringLiteral("a\nb")},
    {"tab inside", QStringLiteral("a\tb")},
    {"markup characters", QStringLiteral("<a href=\"x\">&amp;'</a>")},
    {"non-ASCII", QStringLiteral("Ärger \u00e9t\u00e9 \U0001F600")},
};

} // namespace

TEST(StoredText, ConfigurationTextsReadBackAsWritten)
{
    for (const auto& c : kTexts) {
        SCOPED_TRACE(c.what);
        auto app = NewConfig<TAppConfig>();
        TConfigPreset* preset = app->MoodleSysConfigPresets()->Add();
        preset->SetTitle(c.text);
        static_cast<TMoodleSysConfig*>(preset->Config())->SetAccountPassword(c.text);
        const QByteArray once = TXmlObjectStorage().SaveToBytes(app.get());

        auto back = NewConfig<TAppConfig>();
        TXmlObjectStorage().LoadFromBytes(back.get(), once);
        ASSERT_EQ(back->MoodleSysConfigPresets()->Count(), 1);
        EXPECT_EQ(back->MoodleSysConfigPresets()->Presets(0)->Title(), c.text);
        EXPECT_EQ(back->MoodleSysConfigPresets()->SiteConfig(0)->AccountPassword(), c.text);
        EXPECT_EQ(TXmlObjectStorage().SaveToBytes(back.get()), once);
    }
}

TEST(StoredText, PlacementValuesReadBackAsWritten)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("forms.cfg"));
    for (const auto& c : kTexts) {
        SCOPED_TRACE(c.what);
        {
            TXmlPlacementStore store;
            store.SetFileName(file);
            store.WriteString(QStringLiteral("FormMain"), QStringLiteral("Note"), c.text);
            ASSERT_TRUE(store.Flush());
        }
        TXmlPlacementStore back;
        back.SetFileName(file);
        EXPECT_EQ(back.ReadString(QStringLiteral("FormMain"), QStringLiteral("Note")), c.text);
    }

    // The fuzzer's input: a reference to a CR in a value of a hand-made file.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("<Configuration><S><b>x&#13;y</b></S></Configuration>");
    f.close();
    TXmlPlacementStore store;
    store.SetFileName(file);
    EXPECT_EQ(store.ReadString(QStringLiteral("S"), QStringLiteral("b")), QStringLiteral("x\ry"));
    ASSERT_TRUE(store.Flush());
    TXmlPlacementStore again;
    again.SetFileName(file);
    EXPECT_EQ(again.ReadString(QStringLiteral("S"), QStringLiteral("b")), QStringLiteral("x\ry"));
}
