// Downloads from the site tabs: saved in the user's download folder under a
// name that overwrites nothing, with the tab's session, shown with their
// progress, cancellable, and failing with a message.
#include "guitestenv.h"
#include "moodlesitefixture.h"
#include "testutil.h"

#include "app/shell/downloadsframe.h"
#include "app/shell/mainform.h"
#include "app/shell/tabbedbrowseclientframe.h"
#include "web/embeddedwb.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const ::testing::Environment* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

bool PageComplete(TFrameMainBrowser* f)
{
    return f && f->Browser()->ReadyState() == TEmbeddedWB::rsComplete && !f->BrowserUrl().isEmpty();
}

// What the test site serves for a course file: its name repeated.
QByteArray CourseFile(const QString& name, int size = 2000)
{
    const QByteArray line = (name + QLatin1Char('\n')).toUtf8();
    QByteArray out;
    while (out.size() < size)
        out += line;
    return out.left(size);
}

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class DownloadsTest : public ::testing::Test {
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
        ASSERT_TRUE(Xdg.isValid());
        GuiEnvironment::ResetConfig();
        // The user's download folder, as the desktop names it.
        Folder = Xdg.filePath("My Downloads");
        QFile dirs(Xdg.filePath("user-dirs.dirs"));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write(QStringLiteral("XDG_DOWNLOAD_DIR=\"%1\"\n").arg(Folder).toUtf8());
        dirs.close();
        FOldXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", Xdg.path().toUtf8());

        TConfigPreset* p = AppConfig()->MoodleSysConfigPresets()->Add();
        p->SetName("School");
        p->SetTitle("School site");
        auto* s = static_cast<TMoodleSysConfig*>(p->Config());
        s->SetRootUrl(Site->RootUrl());
        s->SetAccountName(TMoodleSite::User);
        s->SetAccountPassword(TMoodleSite::Password);
        School = p;
        Form = std::make_unique<TFormMain>();
        Form->resize(1000, 700);
        Form->show();
        ASSERT_TRUE(testutil::waitUntil([&] { return Form->FrameBrowseClient()->WelcomeTab() != nullptr; }));
    }
    void TearDown() override
    {
        Form.reset();
        GuiEnvironment::ResetConfig();
        Site->Configure(QJsonObject{{"download_delay", 0}});
        if (FOldXdg.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", FOldXdg);
    }
    TFrameMainBrowser* OpenSite(bool login)
    {
        auto* site = static_cast<TMoodleSysConfig*>(School->Config());
        site->SetAutoLogin(login);
        Form->ConnectToMoodle(School->Name(), School->Title(), site);
        TFrameMainBrowser* f = Form->FrameBrowseClient()->GetBrowserFrameByName("School");
        EXPECT_TRUE(f);
        EXPECT_TRUE(testutil::waitUntil([&] { return PageComplete(f) && (!login || f->BrowserUrl().contains("/my/")); }, 15000));
        return f;
    }
    TFrameDownloads* Downloads() const { return Form->FrameDownloads(); }
    // Starts the download of a link of the page and waits for its row.
    TDownloadItemFrame* ClickDownload(TFrameMainBrowser* f, const QString& linkId)
    {
        const int before = Downloads()->Count();
        f->Browser()->ExecScript(QStringLiteral("document.getElementById('%1').click();").arg(linkId));
        EXPECT_TRUE(testutil::waitUntil([&] { return Downloads()->Count() > before; }, 10000));
        return Downloads()->Count() > before ? Downloads()->Items(before) : nullptr;
    }
    TDownloadItemFrame* NavigateDownload(TFrameMainBrowser* f, const QString& path)
    {
        const int before = Downloads()->Count();
        f->Browser()->Navigate(Site->Url(path));
        EXPECT_TRUE(testutil::waitUntil([&] { return Downloads()->Count() > before; }, 10000));
        return Downloads()->Count() > before ? Downloads()->Items(before) : nullptr;
    }
    static bool WaitState(TDownloadItemFrame* item, TDownloadItemFrame::TState state)
    {
        const bool ok = testutil::waitUntil([&] { return item->State() == state; }, 15000);
        EXPECT_EQ(item->State(), state) << item->StateText().toStdString();
        return ok;
    }

    static TMoodleSite* Site;
    QTemporaryDir Xdg;
    QString Folder;
    QByteArray FOldXdg;
    TConfigPreset* School = nullptr;
    std::unique_ptr<TFormMain> Form;
};
TMoodleSite* DownloadsTest::Site = nullptr;

} // namespace

TEST(DownloadNames, StayInTheFolderAndOverwriteNothing)
{
    struct Case { QString suggested, name; };
    const Case cases[] = {
        {"Lesson plan.pdf", "Lesson plan.pdf"},
        {"../../.bashrc", "bashrc"},
        {"..\\..\\evil.txt", "evil.txt"},
        {"/etc/passwd", "passwd"},
        {"notes/", "download"},
        {"  ", "download"},
        {"..", "download"},
        {QString("a\x01" "b.txt"), "a_b.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TFrameDownloads::SafeFileName(c.suggested), c.name) << c.suggested.toStdString();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* existing : {"report.pdf", "report (1).pdf", "README"}) {
        QFile f(dir.filePath(existing));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QSet<QString> running{dir.filePath("report (2).pdf")};
    EXPECT_EQ(TFrameDownloads::UniqueFileName(dir.path(), "report.pdf", running), "report (3).pdf");
    EXPECT_EQ(TFrameDownloads::UniqueFileName(dir.path(), "README", {}), "README (1)");
    EXPECT_EQ(TFrameDownloads::UniqueFileName(dir.path(), "archive.tar.gz", {}), "archive.tar.gz");
    EXPECT_EQ(TFrameDownloads::UniqueFileName(dir.path(), "other.pdf", {}), "other.pdf");
}

TEST_F(DownloadsTest, AttachmentGoesToTheDownloadFolderUnderAFreeName)
{
    EXPECT_FALSE(Downloads()->isVisible());
    EXPECT_EQ(Downloads()->DownloadFolder(), Folder);
    TFrameMainBrowser* f = OpenSite(false);
    ASSERT_TRUE(f);
    const QString pageUrl = f->BrowserUrl();

    TDownloadItemFrame* first = ClickDownload(f, "publicfile");
    ASSERT_TRUE(first);
    ASSERT_TRUE(WaitState(first, TDownloadItemFrame::dsDone));
    EXPECT_TRUE(Downloads()->isVisible());
    EXPECT_EQ(first->FilePath(), QDir(Folder).filePath("Site rules.txt"));
    EXPECT_EQ(Read(first->FilePath()), CourseFile("Site rules.txt"));
    EXPECT_EQ(first->LabelName()->text(), "Site rules.txt");
    EXPECT_TRUE(first->StateText().contains("done")) << first->StateText().toStdString();
    EXPECT_FALSE(first->BtnCancel()->isEnabled());
    EXPECT_TRUE(first->BtnOpen()->isEnabled());
    EXPECT_TRUE(first->BtnShowInFolder()->isEnabled());
    EXPECT_EQ(first->Progress()->value(), first->Progress()->maximum());
    // The page stays where it was, and the tab is not left loading.
    EXPECT_TRUE(testutil::waitUntil([&] { return !f->Browser()->Busy(); }, 5000));
    EXPECT_EQ(f->BrowserUrl(), pageUrl);

    // The same file again: the first one is kept.
    QFile mark(first->FilePath());
    ASSERT_TRUE(mark.open(QIODevice::Append));
    mark.write("kept");
    mark.close();
    TDownloadItemFrame* second = ClickDownload(f, "publicfile");
    ASSERT_TRUE(second);
    ASSERT_TRUE(WaitState(second, TDownloadItemFrame::dsDone));
    EXPECT_EQ(second->FilePath(), QDir(Folder).filePath("Site rules (1).txt"));
    EXPECT_EQ(Read(second->FilePath()), CourseFile("Site rules.txt"));
    EXPECT_TRUE(Read(first->FilePath()).endsWith("kept"));
}

TEST_F(DownloadsTest, CourseFileNeedsTheTabsSession)
{
    TFrameMainBrowser* f = OpenSite(true);
    ASSERT_TRUE(f);
    TDownloadItemFrame* item = ClickDownload(f, "resourcelink");
    ASSERT_TRUE(item);
    ASSERT_TRUE(WaitState(item, TDownloadItemFrame::dsDone));
    EXPECT_EQ(item->FilePath(), QDir(Folder).filePath("Lesson plan.txt"));
    // The file itself, not the login page a request without the session gets.
    EXPECT_EQ(Read(item->FilePath()), CourseFile("Lesson plan.txt"));
}
