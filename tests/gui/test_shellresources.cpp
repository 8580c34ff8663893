// Global resources: skins and their listeners, the About box.
#include "guitestenv.h"

#include "app/shell/aboutform.h"
#include "utillib/version.h"

#include <QApplication>
#include <QLabel>

namespace {

class Listener : public QObject {
    Q_OBJECT
public:
    QList<QObject*> Senders;
    Q_INVOKABLE void SkinChanged(QObject* sender) { Senders << sender; }
};

} // namespace

TEST(GlobalResources, SkinsAndListeners)
{
    TDmGlobal* dm = DmGlobal();
    ASSERT_TRUE(dm);
    EXPECT_EQ(TDmGlobal::SkinNames(), QStringList({"Charm", "Windows7", "SnowLeopard", "Metal", "Laconic", "Air"}));

    Listener a, b;
    dm->AddSkinChangeEventHandler(&a, "SkinChanged");
    dm->AddSkinChangeEventHandler(&a, "SkinChanged"); // twice: called twice
    dm->AddSkinChangeEventHandler(&b, "SkinChanged");
    dm->RemoveSkinChangeEventHandler(&b, "Other");     // never added: nothing
    dm->SetSkinIndex(3);
    EXPECT_EQ(a.Senders.size(), 2);
    EXPECT_EQ(b.Senders.size(), 1);
    EXPECT_EQ(b.Senders.first(), dm->SkinDataGlobal());
    dm->SetSkinIndex(3); // the same index still notifies
    EXPECT_EQ(b.Senders.size(), 2);

    // Each skin is a look of its own, applied to the whole program.
    QSet<QRgb> windows;
    for (int i = 0; i < 6; ++i) {
        dm->SetSkinIndex(i);
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), dm->SkinDataGlobal()->Colors().Window);
        windows << QApplication::palette().color(QPalette::Window).rgb();
    }
    EXPECT_EQ(windows.size(), 6);
    dm->SetControlEffects(false);
    EXPECT_FALSE(qApp->styleSheet().contains(":hover"));
    dm->SetControlEffects(true);
    EXPECT_TRUE(qApp->styleSheet().contains(":hover"));
    dm->SetWindowAnimation(false);
    EXPECT_FALSE(QApplication::isEffectEnabled(Qt::UI_AnimateMenu));
    dm->SetWindowAnimation(true);

    dm->RemoveSkinChangeEventHandler(&a, "SkinChanged");
    dm->SetSkinIndex(0);
    EXPECT_EQ(a.Senders.size(), 2 * 2 + 6 * 2 + 1);
    dm->RemoveSkinChangeEventHandler(&a, "SkinChanged");
    dm->RemoveSkinChangeEventHandler(&b, "SkinChanged");
    EXPECT_EQ(dm->SkinChangeEventHandlerCount(), 0);

    // Every picture of both image lists is there.
    for (int i = 0; i < 14; ++i)
        EXPECT_FALSE(dm->ImageListActions16(i).isNull()) << i;
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(dm->ImageList32(i).isNull()) << i;
}

TEST(GlobalResources, AboutBox)
{
    TFormAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Vantoli"));
    EXPECT_EQ(about.LabelVersion()->text(), QStringLiteral("Version ") + AppVersion().ToString());
    // No address of a host that does not exist is shown or linked.
    for (QLabel* l : about.findChildren<QLabel*>()) {
        EXPECT_FALSE(l->text().contains(QLatin1String("example"))) << l->text().toStdString();
        EXPECT_FALSE(l->text().contains(QLatin1String("href"))) << l->text().toStdString();
    }
}

#include "test_shellresources.moc"
