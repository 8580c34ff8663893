#include "utillib/globalutils.h"

#include "utillib/filepathutils.h"

#include <QDir>
#include <QFileInfo>
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
    QString base = TSysFilePathUtil::TempFilePath();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const QString path = base + TempFolderName();
    if (!create)
        return path;
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0) {
        QDir().mkpath(base);
        ::mkdir(native.constData(), 0700);
    } else if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        // Someone else's folder (or a link) under our name: never write into
        // it. Move it out of the way is not ours to do; use a fresh private
        // folder beside it instead.
        QString alt = path + QStringLiteral("-") + QString::number(::getpid());
        ::mkdir(QFile::encodeName(alt).constData(), 0700);
        return alt;
    }
    ::chmod(native.constData(), 0700);
    return path;
}

void RemoveAppTempFolder()
{
    const QString path = AppTempPath(true);
    const QByteArray native = QFile::encodeName(path);
    int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    RemoveContents(fd);
    ::rmdir(native.constData());
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
