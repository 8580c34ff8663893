// The names downloads are saved under: one name inside the download folder,
// never overwriting a file there or one still being downloaded.
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
