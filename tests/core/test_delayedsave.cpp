// Saves soon after a change: the delayed save coalesces bursts and never
// drops a pending write, and a save that finds a file unchanged leaves it be.
#include "coretest.h"
#include "testutil.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "utillib/delayedsave.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

TEST(DelayedSave, BurstsGiveOneSaveAndPendingSavesAreNeverDropped)
{
    int saves = 0;
    {
        TDelayedSave save([&] { ++saves; }, 50);
        for (int i = 0; i < 5; ++i)
            save.Schedule();
        EXPECT_TRUE(save.Pending());
        EXPECT_EQ(saves, 0); // not before the delay
        ASSERT_TRUE(testutil::waitUntil([&] { return saves > 0; }, 5000));
        testutil::waitUntil([] { return false; }, 150);
        EXPECT_EQ(saves, 1);

        // A steady stream of changes still reaches the disk: a request does
        // not push the pending save back (which would starve it).
        const int streamStart = saves;
        EXPECT_TRUE(testutil::waitUntil([&] {
            save.Schedule();
            return saves >= streamStart + 3;
        }, 10000));

        const int before = saves;
        save.Schedule();
        save.Flush(); // now, not later
        EXPECT_EQ(saves, before + 1);
        EXPECT_FALSE(save.Pending());
        save.Flush(); // nothing pending: nothing written
        EXPECT_EQ(saves, before + 1);

    }

    // A failing save does not escape the timer event; the next one runs.
    int attempts = 0;
    TDelayedSave failing([&] { ++attempts; throw EInOutError(QStringLiteral("disk full")); }, 10);
    failing.Schedule();
    ASSERT_TRUE(testutil::waitUntil([&] { return attempts == 1; }, 5000));
    failing.Schedule();
    failing.Flush();
    EXPECT_EQ(attempts, 2);
}

TEST(DelayedSave, OwnerGoingFlushesThePendingSave)
{
    int saves = 0;
    {
        TDelayedSave save([&] { ++saves; }, 60000);
        save.Schedule();
    }
    EXPECT_EQ(saves, 1);
}

TEST(DelayedSave, ConfigSaveLeavesUnchangedFilesAloneAndWritesChangedOnes)
{
    QTemporaryDir user;
    ScopedEnv env("APPDATA", user.path().toUtf8());
    AppConfig()->MoodleSysConfigPresets()->Clear();
    FileUploaderPresetsConfig()->Presets()->Clear();
    TVantoliConfigPersistent::SaveConfigs();
    const QString main = TVantoliConfigPersistent::UserConfigPath() + TVantoliConfigPersistent::MainConfigFileName;
    const QString uploaders = TVantoliConfigPersistent::UserConfigPath() + TVantoliConfigPersistent::UploadersConfigFileName;
    ASSERT_TRUE(QFileInfo::exists(main));

    // Old time stamps tell whether a file was written again.
    const QDateTime old = QDateTime::fromSecsSinceEpoch(946684800);
    auto age = [&](const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    };
    auto untouched = [&](const QString& path) { return QFileInfo(path).lastModified() == old; };
    age(main);
    age(uploaders);
    TVantoliConfigPersistent::SaveConfigs();
    EXPECT_TRUE(untouched(main));
    EXPECT_TRUE(untouched(uploaders));

    AppConfig()->MoodleSysConfigPresets()->Add()->SetTitle(QStringLiteral("Added just now"));
    TVantoliConfigPersistent::SaveConfigs();
    EXPECT_FALSE(untouched(main));
    EXPECT_TRUE(testutil::readFile(main).contains("Added just now"));
    EXPECT_TRUE(untouched(uploaders));
    EXPECT_EQ(testutil::fileMode(main), 0600);

    // A file damaged on disk is rewritten even though the model did not change.
    testutil::writeFile(main, "<damaged");
    TVantoliConfigPersistent::SaveConfigs();
    EXPECT_TRUE(testutil::readFile(main).contains("Added just now"));
    AppConfig()->MoodleSysConfigPresets()->Clear();
}

} // namespace
