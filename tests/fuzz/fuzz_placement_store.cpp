// forms.cfg, the window placements: any file reads into a store (an
// unreadable one into an empty store), the values it kept read back through
// the store's own calls, and a flush of what was read, read again, flushes to
// the same bytes.
#include "fuzzcommon.h"

#include "utillib/placementstore.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

namespace {

using fuzzcommon::Check;

// One private folder for the whole run; the fuzzer runs one input at a time.
const QTemporaryDir& Folder()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        // On a memory file system when there is one: every flush syncs its file.
        auto d = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
            ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/vantoli-fuzz-XXXXXX"))
            : std::make_unique<QTemporaryDir>();
        if (!d->isValid())
            fuzzcommon::Fail("no temporary folder");
        return d;
    }();
    return *dir;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size(), "temporary file written");
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The store flushes to the file it read, so each flush replaces the input.
    const QString path = Folder().filePath(QStringLiteral("forms.cfg"));
    WriteFile(path, fuzzcommon::Bytes(data, size));

    QByteArray once, twice;
    fuzzcommon::TBoundedMemory bounded;
    {
        TXmlPlacementStore store;
        store.SetFileName(path);
        // The calls the windows make on whatever was read.
        (void)store.ReadInteger(QStringLiteral("TMainForm"), QStringLiteral("Left"), 7);
        (void)store.ReadBoolean(QStringLiteral("TMainForm"), QStringLiteral("Maximized"), false);
        (void)store.ReadString(QStringLiteral("TWordEditorForm"), QStringLiteral("Placement"));
        Check(store.Flush(), "the store flushes");
        once = ReadFile(path);
    }
    {
        TXmlPlacementStore again;
        again.SetFileName(path);
        Check(again.Flush(), "the store flushes again");
        twice = ReadFile(path);
    }
    if (once != twice) {
        std::fprintf(stderr, "first flush:\n%s\nsecond flush:\n%s\n", once.constData(), twice.constData());
        fuzzcommon::Fail("a flush of what was read reads back differently");
    }
    return 0;
}
