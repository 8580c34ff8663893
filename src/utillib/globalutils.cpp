#include "utillib/globalutils.h"

#include "utillib/filepathutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The executable's file name plus the user's id: the system temporary folder
// is shared by every user of the machine, and this folder holds documents
// that belong to one of them.
QString TempFolderName()
{
    QString exe = QFileInfo(TSysFilePathUtil::CurrAppFileName()).fileName();
    if (exe.isEmpty())
        exe = QStringLiteral("vantoli");
    return exe + QStringLiteral("-") + QString::number(::getuid());
}

// This running program's own subfolder: the process id, its start time (clock
// ticks since boot) and the boot's id. Two programs that run at the same time
// never get the same name, and a folder a crashed run left behind is never
// taken over by a later one that happens to get the same process id.
QString InstanceFolderName()
{
    QString start;
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        // The command name (field 2) may hold spaces and parentheses: count
        // from the last ')'. The start time is field 22.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 19)
            start = QString::fromLatin1(fields.at(19));
    }
    QString boot;
    QFile bootId(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (bootId.open(QIODevice::ReadOnly))
        boot = QString::fromLatin1(bootId.readAll().left(8));
    return QString::number(::getpid()) + QLatin1Char('-') + start + QLatin1Char('-') + boot;
}

// An open folder, closed when it goes out of scope.
struct TDirFd {
    int fd = -1;
    TDirFd() = default;
    explicit TDirFd(int f) : fd(f) {}
    ~TDirFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    TDirFd(const TDirFd&) = delete;
    TDirFd& operator=(const TDirFd&) = delete;
};

// The folder an open descriptor names may be used as a private folder: a
// real folder (the descriptor was opened without following a link), owned by
// us. With fix, a mode other than 0700 is set to 0700 on the descriptor, so
// the folder that was checked is the one that changes.
bool IsPrivateFolder(int fd, bool fix)
{
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 07777) == 0700)
        return true;
    if (!fix)
        return true; // made private when it is first used
    return ::fchmod(fd, 0700) == 0;
}

// Whether the folder that holds ours keeps others from swapping it: owned by
// us or root, and if others may write into it, only with the sticky bit (as
// /tmp), which stops them from renaming or deleting our entries.
bool IsSafeParent(const QByteArray& parent)
{
    struct stat st;
    if (::stat(parent.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_uid != ::getuid() && st.st_uid != 0)
        return false;
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st.st_mode & S_ISVTX) != 0;
}

// Opens (with create: makes first) a private folder "name" inside the open
// folder parentFd; answers the descriptor or -1 when what is there may not be
// used. mkdirat never follows a link and fails on anything already there;
// the open never follows one either, so the check below is of the folder
// itself.
int OpenPrivateAt(int parentFd, const QByteArray& name, bool create)
{
    if (create && ::mkdirat(parentFd, name.constData(), 0700) != 0 && errno != EEXIST)
        return -1;
    const int fd = ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (!IsPrivateFolder(fd, create)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

enum class TCandidate { Usable, Missing, Refused };

// Checks (with create: makes) <base>/<user folder>/<instance> and answers
// whether it can be ours. Missing: nothing there yet (only without create).
TCandidate CheckCandidate(const QString& base, const QString& userFolder, const QString& instance, bool create)
{
    const QByteArray nativeBase = QFile::encodeName(base);
    if (create)
        QDir().mkpath(base);
    if (!IsSafeParent(nativeBase))
        return QFileInfo::exists(base) || create ? TCandidate::Refused : TCandidate::Missing;
    TDirFd baseFd(::open(nativeBase.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (baseFd.fd < 0)
        return TCandidate::Refused;
    const QByteArray user = QFile::encodeName(userFolder);
    const QByteArray inst = QFile::encodeName(instance);
    if (!create) {
        struct stat st;
        if (::fstatat(baseFd.fd, user.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? TCandidate::Missing : TCandidate::Refused;
    }
    TDirFd userFd(OpenPrivateAt(baseFd.fd, user, create));
    if (userFd.fd < 0)
        return TCandidate::Refused;
    if (!create) {
        struct stat st;
        if (::fstatat(userFd.fd, inst.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? TCandidate::Missing : TCandidate::Refused;
    }
    TDirFd instFd(OpenPrivateAt(userFd.fd, inst, create));
    return instFd.fd < 0 ? TCandidate::Refused : TCandidate::Usable;
}

// Where the user folder may live, best first: the temporary folder, then
// folders no other user can write into at all.
QStringList BaseCandidates()
{
    QStringList bases{TSysFilePathUtil::TempFilePath()};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        bases << runtime;
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        bases << home + QStringLiteral("/.cache");
    for (QString& b : bases)
        while (b.size() > 1 && b.endsWith(QLatin1Char('/')))
            b.chop(1);
    return bases;
}

// Deletes what dirFd holds, then nothing else: entries are opened relative to
// their folder without following links, so a link placed inside can never
// lead the deletion out of the folder.
void RemoveContents(int dirFd)
{
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            int sub = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                RemoveContents(sub);
            ::unlinkat(::dirfd(dir), name, AT_REMOVEDIR);
        } else {
            ::unlinkat(::dirfd(dir), name, 0);
        }
    }
    ::closedir(dir);
}

} // namespace

QString AppTempPath(bool create)
{
    const QString userFolder = TempFolderName();
    const QString instance = InstanceFolderName();
    QString first;
    for (const QString& base : BaseCandidates()) {
        const QString path = base + QLatin1Char('/') + userFolder + QLatin1Char('/') + instance;
        if (first.isEmpty())
            first = path;
        const TCandidate c = CheckCandidate(base, userFolder, instance, create);
        if (c == TCandidate::Usable || c == TCandidate::Missing)
            return path;
    }
    // Nowhere private: answer the usual place, which is never created here,
    // so that writing into it fails instead of landing in someone's folder.
    if (create)
        throw EVantoliException(QStringLiteral("No private temporary folder can be made in %1").arg(first));
    return first;
}

void RemoveAppTempFolder()
{
    QString path;
    try {
        path = AppTempPath(true);
    } catch (const EVantoliException&) {
        return;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QByteArray userFolder = QFile::encodeName(path.left(slash));
    const QByteArray instance = QFile::encodeName(path.mid(slash + 1));
    TDirFd userFd(::open(userFolder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!IsPrivateFolder(userFd.fd, false))
        return;
    const int fd = ::openat(userFd.fd, instance.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    RemoveContents(fd);
    ::unlinkat(userFd.fd, instance.constData(), AT_REMOVEDIR);
    // The user's folder goes too once no other running program has its own
    // folder in it (rmdir fails on a folder that is not empty).
    ::rmdir(userFolder.constData());
}

QString TimeStampName(const QString& prefix, const QDateTime& at)
{
    const QDate d = at.date();
    const QTime t = at.time();
    return prefix
        + QString::asprintf("%.4d%.2d%.2d%.2d%.2d%.2d%.3d", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                            t.second(), t.msec());
}

QString TimeStampName(const QString& prefix)
{
    return TimeStampName(prefix, QDateTime::currentDateTime());
}
