// What people expect of a browser tab, through the window's keys on a site
// tab: find in page, zoom, print or save as PDF.
#include "guitestenv.h"
#include "moodlesitefixture.h"
#include "testutil.h"

#include "app/shell/mainform.h"
#include "app/shell/tabbedbrowseclientframe.h"
#include "web/embeddedwb.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPrintDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const ::testing::Environment* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

bool PageComplete(TFrameMainBrowser* f)
{
    return f && f->Browser()->ReadyState() == TEmbeddedWB::rsComplete && !f->BrowserUrl().isEmpty();
}

// Runs act on the first modal window of class T that comes up.
template <class T>
class TWhenModal {
public:
    explicit TWhenModal(std::function<void(T*)> act) : FAct(std::move(act))
    {
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            T* w = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* t = qobject_cast<T*>(top); t && t->isVisible())
                    w = t;
            if (Seen || !w)
                return;
            Seen = true;
            QPointer<T> target(w);
            QTimer::singleShot(0, [this, target] {
                if (target)
                    FAct(target);
            });
        });
        FTimer.start(20);
    }
    bool Seen = false;

private:
    std::function<void(T*)> FAct;
    QTimer FTimer;
};

class PageFeaturesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Site = new TMoodleSite(); }
    static void TearDownTestSuite()
    {
        delete Site;
        Site = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(Site->IsRunning());
        GuiEnvironment::ResetConfig();
        TConfigPreset* p = AppConfig()->MoodleSysConfigPresets()->Add();
        p->SetName("School");
        p->SetTitle("School site");
        static_cast<TMoodleSysConfig*>(p->Config())->SetRootUrl(Site->RootUrl());
        Form = std::make_unique<TFormMain>();
        Form->resize(1000, 700);
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(testutil::waitUntil([&] { return Form->FrameBrowseClient()->WelcomeTab() != nullptr; }));
        Form->ConnectToMoodle(p->Name(), p->Title(), static_cast<TMoodleSysConfig*>(p->Config()));
        Frame = Form->FrameBrowseClient()->GetBrowserFrameByName("School");
        ASSERT_TRUE(Frame);
        ASSERT_TRUE(testutil::waitUntil([&] { return PageComplete(Frame); }, 10000));
    }
    void TearDown() override
    {
        Form.reset();
        GuiEnvironment::ResetConfig();
    }
    void Keys(Qt::Key key, Qt::KeyboardModifiers mods = Qt::ControlModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : Form.get();
        QTest::keyClick(target, key, mods);
    }

    static TMoodleSite* Site;
    std::unique_ptr<TFormMain> Form;
    TFrameMainBrowser* Frame = nullptr;
};
TMoodleSite* PageFeaturesTest::Site = nullptr;

} // namespace

TEST_F(PageFeaturesTest, FindInPage)
{
    Frame->Browser()->setFocus();
    Keys(Qt::Key_F);
    ASSERT_TRUE(Frame->FindBar()->isVisible());
    EXPECT_TRUE(testutil::waitUntil([&] { return Frame->EditFind()->hasFocus(); }, 3000));
    struct Case { QString typed, result; };
    // The front page: "Course One", "Dashboard in a new window", "Site rules", "Log in".
    const Case cases[] = {{"Course One", "1 of 1"}, {"zzq", "Not found"}, {"in", "1 of "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        Frame->EditFind()->selectAll();
        QTest::keyClicks(Frame->EditFind(), c.typed);
        EXPECT_TRUE(testutil::waitUntil([&] { return Frame->FindResultText().startsWith(c.result); }, 5000))
            << Frame->FindResultText().toStdString();
    }
    // Enter moves to the next match, Shift+Enter back.
    const int total = Frame->FindResultText().section(" of ", 1).toInt();
    ASSERT_GT(total, 1);
    QTest::keyClick(Frame->EditFind(), Qt::Key_Return);
    EXPECT_TRUE(testutil::waitUntil([&] { return Frame->FindResultText() == QStringLiteral("2 of %1").arg(total); }, 5000))
        << Frame->FindResultText().toStdString();
    QTest::keyClick(Frame->EditFind(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(testutil::waitUntil([&] { return Frame->FindResultText() == QStringLiteral("1 of %1").arg(total); }, 5000))
        << Frame->FindResultText().toStdString();
    // Esc closes the bar and leaves the page loaded (it is not the window's Stop).
    QTest::keyClick(Frame->EditFind(), Qt::Key_Escape);
    EXPECT_FALSE(Frame->FindBar()->isVisible());
    EXPECT_TRUE(PageComplete(Frame));
}

TEST_F(PageFeaturesTest, ZoomKeys)
{
    Frame->Browser()->setFocus();
    struct Step { Qt::Key key; Qt::KeyboardModifiers mods; qreal zoom; };
    const Step steps[] = {
        {Qt::Key_Plus, Qt::ControlModifier, 1.1},  {Qt::Key_Equal, Qt::ControlModifier, 1.25},
        {Qt::Key_Minus, Qt::ControlModifier, 1.1}, {Qt::Key_Minus, Qt::ControlModifier, 1.0},
        {Qt::Key_Minus, Qt::ControlModifier, 0.9}, {Qt::Key_0, Qt::ControlModifier, 1.0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.key << " -> " << s.zoom);
        Keys(s.key, s.mods);
        EXPECT_NEAR(Frame->ZoomFactor(), s.zoom, 0.001);
    }
    // The steps end at 25 % and 500 %.
    for (int i = 0; i < 30; ++i)
        Frame->ZoomOut();
    EXPECT_NEAR(Frame->ZoomFactor(), 0.25, 0.001);
    for (int i = 0; i < 30; ++i)
        Frame->ZoomIn();
    EXPECT_NEAR(Frame->ZoomFactor(), 5.0, 0.001);
}

TEST_F(PageFeaturesTest, PrintDialogAndPdf)
{
    // Ctrl+P opens the print dialog (its printers include a PDF file).
    bool offered = false;
    {
        TWhenModal<QPrintDialog> dialog([&](QPrintDialog* d) {
            offered = true;
            d->reject();
        });
        Frame->Browser()->setFocus();
        Keys(Qt::Key_P);
        ASSERT_TRUE(testutil::waitUntil([&] { return offered; }, 10000));
    }
    // Saving as PDF writes a PDF of the page.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int result = -1;
    Frame->SaveAsPdf(dir.filePath("page.pdf"), [&](bool ok) { result = ok; });
    ASSERT_TRUE(testutil::waitUntil([&] { return result >= 0; }, 20000));
    EXPECT_EQ(result, 1);
    QFile pdf(dir.filePath("page.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF-"));
}
