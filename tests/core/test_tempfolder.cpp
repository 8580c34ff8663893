// The program's temporary working folder: private to the user, one per
// running program, and never a place someone else prepared.
#include "coretest.h"

#include "testutil.h"
#include "utillib/globalutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct stat LStat(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// TEMP, HOME and XDG_RUNTIME_DIR point into fresh folders for one test, so
// that the fallback places are the test's own as well.
struct TempEnv {
    QTemporaryDir Tmp, Home;
    ScopedEnv Temp{"TEMP", Tmp.path().toUtf8()};
    ScopedEnv HomeVar{"HOME", Home.path().toUtf8()};
    ScopedEnv Runtime{"XDG_RUNTIME_DIR", QByteArray()};
    // <TEMP>/<executable>-<uid>, the user folder in the usual place.
    QString UserFolder() const { return QFileInfo(AppTempPath(false)).path(); }
};

} // namespace

TEST(TempFolder, PrivateAndRemovedWithoutFollowingLinks)
{
    TempEnv env;
    QTemporaryDir outside;
    const QString path = AppTempPath(false);
    EXPECT_TRUE(path.startsWith(env.Tmp.path() + "/"));
    EXPECT_EQ(QFileInfo(path).path(), env.Tmp.path() + "/" + QFileInfo(env.UserFolder()).fileName());
    EXPECT_FALSE(QFile::exists(env.UserFolder())); // false never creates
    ASSERT_EQ(AppTempPath(true), path);
    EXPECT_EQ(AppTempPath(true), path) << "the same folder for the whole run";
    EXPECT_EQ(testutil::fileMode(path), 0700);
    EXPECT_EQ(testutil::fileMode(env.UserFolder()), 0700);

    // Something outside the folder, reachable through links inside it.
    testutil::writeFile(outside.filePath("keep.txt"), "keep");
    QDir().mkpath(path + "/sub/deeper");
    testutil::writeFile(path + "/sub/deeper/a.html", "x");
    QFile::link(outside.path(), path + "/sub/link-to-dir");
    QFile::link(outside.filePath("keep.txt"), path + "/link-to-file");
    RemoveAppTempFolder();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(QFile::exists(env.UserFolder())) << "an empty user folder goes as well";
    EXPECT_EQ(testutil::readFile(outside.filePath("keep.txt")), QByteArray("keep"));
}

// Another local user may create the predictable folder in the shared
// temporary folder before the program starts, or put a link there. Nothing of
// ours may ever be written into such a folder; a fresh private one elsewhere
// is used instead.
TEST(TempFolder, AFolderSomeoneElsePreparedIsNeverUsed)
{
    struct Case {
        const char* what;
        bool needsRoot;
        // Prepares the hostile thing at the user folder's or the instance
        // folder's place; target is a folder the test can look into after.
        std::function<void(const TempEnv&, const QString& target)> prepare;
        bool instanceLevel = false;
    };
    const Case cases[] = {
        {"a folder of another user", true,
         [](const TempEnv& e, const QString&) {
             QDir().mkpath(e.UserFolder());
             const passwd* nobody = ::getpwnam("nobody");
             ASSERT_NE(nobody, nullptr);
             ASSERT_EQ(::chown(QFile::encodeName(e.UserFolder()).constData(), nobody->pw_uid, nobody->pw_gid), 0);
             ::chmod(QFile::encodeName(e.UserFolder()).constData(), 0777);
         }},
        {"a link to a folder of ours", false,
         [](const TempEnv& e, const QString& target) { ASSERT_TRUE(QFile::link(target, e.UserFolder())); }},
        {"a link to a missing folder", false,
         [](const TempEnv& e, const QString& target) { ASSERT_TRUE(QFile::link(target + "/missing", e.UserFolder())); }},
        {"a file", false, [](const TempEnv& e, const QString&) { testutil::writeFile(e.UserFolder(), "x"); }},
        {"an instance folder that is a link", false,
         [](const TempEnv& e, const QString& target) {
             QDir().mkpath(e.UserFolder());
             ::chmod(QFile::encodeName(e.UserFolder()).constData(), 0700);
             ASSERT_TRUE(QFile::link(target, AppTempPath(false)));
         },
         true},
        {"an instance folder of another user", true,
         [](const TempEnv&, const QString&) {
             QDir().mkpath(AppTempPath(false));
             const passwd* nobody = ::getpwnam("nobody");
             ASSERT_NE(nobody, nullptr);
             ASSERT_EQ(::chown(QFile::encodeName(AppTempPath(false)).constData(), nobody->pw_uid, nobody->pw_gid), 0);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && ::getuid() != 0) {
            std::printf("skipped (needs root): %s\n", c.what);
            continue;
        }
        TempEnv env;
        QTemporaryDir target;
        const QString usual = AppTempPath(false);
        const QString userFolder = env.UserFolder();
        c.prepare(env, target.path());
        const struct stat before = LStat(c.instanceLevel ? usual : userFolder);

        const QString path = AppTempPath(true);
        EXPECT_FALSE(path.startsWith(userFolder + "/")) << path.toStdString();
        EXPECT_TRUE(path.startsWith(env.Home.path() + "/.cache/")) << path.toStdString();
        EXPECT_EQ(testutil::fileMode(path), 0700);
        EXPECT_EQ(AppTempPath(false), path) << "the answer without create is the same place";
        testutil::writeFile(path + "/Exported.html", "private");
        RemoveAppTempFolder();
        EXPECT_FALSE(QFile::exists(path));

        // What was prepared is as it was, and nothing of ours went into it.
        const struct stat after = LStat(c.instanceLevel ? usual : userFolder);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(QDir(target.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        if (!c.instanceLevel && QFileInfo(userFolder).isDir() && !QFileInfo(userFolder).isSymLink()) {
            EXPECT_EQ(QDir(userFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        }
    }
}

TEST(TempFolder, AFolderOfOursWithAnOpenModeIsMadePrivate)
{
    TempEnv env;
    ASSERT_TRUE(QDir().mkpath(env.UserFolder()));
    ::chmod(QFile::encodeName(env.UserFolder()).constData(), 0777);
    const QString path = AppTempPath(true);
    EXPECT_TRUE(path.startsWith(env.UserFolder() + "/"));
    EXPECT_EQ(testutil::fileMode(env.UserFolder()), 0700);
    EXPECT_EQ(testutil::fileMode(path), 0700);
    RemoveAppTempFolder();
}

TEST(TempFolder, ATemporaryFolderOthersMayRenameInIsNotTrusted)
{
    // Writable by everyone without the sticky bit: anyone could move our
    // folder away and put their own in its place.
    TempEnv env;
    ::chmod(QFile::encodeName(env.Tmp.path()).constData(), 0777);
    const QString path = AppTempPath(true);
    EXPECT_TRUE(path.startsWith(env.Home.path() + "/.cache/")) << path.toStdString();
    RemoveAppTempFolder();
    // With the sticky bit, as /tmp has it, it is the place to use.
    ::chmod(QFile::encodeName(env.Tmp.path()).constData(), 01777);
    EXPECT_TRUE(AppTempPath(true).startsWith(env.UserFolder() + "/"));
    RemoveAppTempFolder();
}

// Two programs of the same user run at once: each has its own folder, and the
// first to end removes only its own.
TEST(TempFolder, TwoRunningProgramsNeverShareOrDeleteEachOthersFiles)
{
    TempEnv env;
    const QString ours = AppTempPath(true);
    testutil::writeFile(ours + "/Exported.html", "ours");
    for (const bool childEndsFirst : {true, false}) {
        SCOPED_TRACE(childEndsFirst ? "the other ends first" : "we end first");
        int toChild[2], toParent[2];
        ASSERT_EQ(::pipe(toChild), 0);
        ASSERT_EQ(::pipe(toParent), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The other program: makes its folder and a file, reports the
            // folder, waits for the word, then ends as the program does.
            ::close(toChild[1]);
            ::close(toParent[0]);
            const QByteArray path = AppTempPath(true).toUtf8();
            testutil::writeFile(QString::fromUtf8(path) + "/Exported.html", "theirs");
            (void)!::write(toParent[1], path.constData(), size_t(path.size()));
            ::close(toParent[1]);
            char c;
            (void)!::read(toChild[0], &c, 1);
            RemoveAppTempFolder();
            ::_exit(0);
        }
        ::close(toParent[1]);
        ::close(toChild[0]);
        QByteArray theirs;
        char buf[512];
        for (ssize_t n; (n = ::read(toParent[0], buf, sizeof buf)) > 0;)
            theirs.append(buf, int(n));
        ::close(toParent[0]);
        const QString other = QString::fromUtf8(theirs);
        EXPECT_NE(other, ours);
        EXPECT_EQ(QFileInfo(other).path(), QFileInfo(ours).path()) << "both in the user's folder";
        EXPECT_EQ(testutil::readFile(other + "/Exported.html"), QByteArray("theirs"));
        EXPECT_EQ(testutil::readFile(ours + "/Exported.html"), QByteArray("ours"));
        if (childEndsFirst) {
            ::close(toChild[1]);
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_FALSE(QFile::exists(other));
            EXPECT_EQ(testutil::readFile(ours + "/Exported.html"), QByteArray("ours"));
        } else {
            RemoveAppTempFolder();
            EXPECT_FALSE(QFile::exists(ours));
            EXPECT_EQ(testutil::readFile(other + "/Exported.html"), QByteArray("theirs"));
            EXPECT_TRUE(QFileInfo(QFileInfo(ours).path()).isDir()) << "the other's folder keeps the user folder";
            ::close(toChild[1]);
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_FALSE(QFile::exists(QFileInfo(ours).path())) << "the last to end removes the user folder";
        }
    }
}
