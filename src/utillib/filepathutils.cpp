#include "utillib/filepathutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace {

QString Env(const char* name)
{
    return qEnvironmentVariable(name);
}

QString EnvOr(const char* name, const QString& fallback)
{
    QString v = Env(name);
    return v.isEmpty() ? fallback : v;
}

QString Home()
{
    return QDir::homePath();
}

QString XdgDir(QStandardPaths::StandardLocation loc)
{
    return QStandardPaths::writableLocation(loc);
}

bool IsHex(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

bool IsMachineNameChar(QChar c)
{
    return (c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('-') || c == QLatin1Char('_')
        || c == QLatin1Char('.');
}

} // namespace

// ---------------------------------------------------------------- system folders
//
// The Windows shell folders have Linux counterparts for the user (XDG folders);
// the machine-wide ones map onto the FHS folders. Variables that name only a
// Windows concept (COMSPEC, SYSTEMROOT, ...) are read as they are.

QString TSysFilePathUtil::AllUserDesktopPath() { return QString(); }
QString TSysFilePathUtil::AllUsersAppDataPath() { return EnvOr("ALLUSERSAPPDATA", QStringLiteral("/etc/xdg")); }
QString TSysFilePathUtil::AllUsersDocumentPath() { return AllUsersProfilePath(); }
QString TSysFilePathUtil::AllUsersProfilePath() { return Env("ALLUSERSPROFILE"); }

QString TSysFilePathUtil::AppDataPath()
{
    QString v = Env("APPDATA");
    if (!v.isEmpty())
        return v;
    v = Env("XDG_CONFIG_HOME");
    if (!v.isEmpty())
        return v;
    return Home() + QStringLiteral("/.config");
}

QString TSysFilePathUtil::CmdExeFile() { return EnvOr("COMSPEC", EnvOr("SHELL", QStringLiteral("/bin/sh"))); }
QString TSysFilePathUtil::CommonProgramFilesPath() { return Env("COMMONPROGRAMFILES"); }

QString TSysFilePathUtil::CurrAppFileName()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString TSysFilePathUtil::CurrAppFilePath()
{
    QString file = CurrAppFileName();
    int slash = file.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? file.left(slash) : (slash == 0 ? QStringLiteral("/") : QString());
}

QString TSysFilePathUtil::CurrUserAppDataPath() { return AppDataPath(); }
QString TSysFilePathUtil::CurrUserDesktopPath() { return XdgDir(QStandardPaths::DesktopLocation); }
QString TSysFilePathUtil::CurrUserDocumentPath() { return XdgDir(QStandardPaths::DocumentsLocation); }
QString TSysFilePathUtil::CurrUserHomePath() { return EnvOr("HOMEPATH", Home()); }
QString TSysFilePathUtil::CurrUserProfilerPath() { return EnvOr("USERPROFILE", Home()); }
QString TSysFilePathUtil::HomeDriverPath() { return Env("HOMEDRIVE"); }
QString TSysFilePathUtil::OsRootPath() { return EnvOr("SYSTEMROOT", QStringLiteral("/")); }
QString TSysFilePathUtil::OsSystemPath() { return QStringLiteral("/usr/bin"); }
QString TSysFilePathUtil::ProgramFilesPath() { return Env("PROGRAMFILES"); }
QString TSysFilePathUtil::SystemDriverPath() { return Env("SYSTEMDRIVE"); }

QString TSysFilePathUtil::TempFilePath()
{
    QString v = Env("TEMP");
    if (v.isEmpty())
        v = Env("TMP");
    if (v.isEmpty())
        v = QDir::tempPath();
    return v;
}

// ---------------------------------------------------------------- URLs

bool TUrlUtil::IsPathDelimiter(const QString& value, int index)
{
    return index >= 1 && index <= value.size() && value.at(index - 1) == QLatin1Char('/');
}

QString TUrlUtil::IncludeTrailingPathDelimiter(const QString& url)
{
    return url.endsWith(QLatin1Char('/')) ? url : url + QLatin1Char('/');
}

QString TUrlUtil::ExcludeTrailingPathDelimiter(const QString& url)
{
    return url.endsWith(QLatin1Char('/')) ? url.left(url.size() - 1) : url;
}

bool TUrlUtil::IsAbsoluteUrl(const QString& url)
{
    return url.contains(QLatin1String("://"));
}

QString TUrlUtil::GetUrlProtocol(const QString& url)
{
    int p = url.indexOf(QLatin1String("://"));
    return p < 0 ? QString() : url.left(p).toLower();
}

bool TUrlUtil::IsFileProtocol(const QString& url)
{
    return GetUrlProtocol(url) == QLatin1String("file");
}

QString TUrlUtil::FileUrlToAbsolutePath(const QString& url)
{
    // The system delimiter is "/", and a Linux path's own leading "/" is kept:
    // file:///home/a.png -> /home/a.png.
    const QString marker = QStringLiteral("file://");
    int p = url.indexOf(QLatin1String("file:///"));
    QString rest = p >= 0 ? url.mid(p + marker.size()) : url;
    return ReplaceUrlPathDelimiterToSys(UrlDecode(rest));
}

QString TUrlUtil::UrlDecode(const QString& src)
{
    QByteArray bytes;
    bytes.reserve(src.size());
    const int n = src.size();
    for (int i = 0; i < n;) {
        QChar c = src.at(i);
        if (c != QLatin1Char('%')) {
            // Any other character stands for the byte of its low 8 bits.
            bytes += static_cast<char>(c.unicode() & 0xFF);
            ++i;
            continue;
        }
        if (i + 1 < n && (src.at(i + 1) == QLatin1Char('u') || src.at(i + 1) == QLatin1Char('U'))) {
            if (i + 5 < n && IsHex(src.at(i + 2)) && IsHex(src.at(i + 3)) && IsHex(src.at(i + 4))
                && IsHex(src.at(i + 5))) {
                char16_t unit = static_cast<char16_t>(src.mid(i + 2, 4).toUInt(nullptr, 16));
                bytes += QString(QChar(unit)).toUtf8();
                i += 6;
            } else {
                i += 6; // a malformed escape is skipped over, its whole width
            }
            continue;
        }
        if (i + 2 < n && IsHex(src.at(i + 1)) && IsHex(src.at(i + 2))) {
            bytes += static_cast<char>(src.mid(i + 1, 2).toUInt(nullptr, 16));
            i += 3;
        } else {
            i += 3;
        }
    }
    return QString::fromUtf8(bytes);
}

QString TUrlUtil::UrlEncode(const QString& src)
{
    QUrl url(src, QUrl::TolerantMode);
    if (!url.isValid())
        return QString::fromLatin1(QUrl::toPercentEncoding(src, "/:?&=#"));
    return QString::fromLatin1(url.toEncoded(QUrl::FullyEncoded));
}

QString TUrlUtil::ReplaceUrlPathDelimiterToSys(const QString& src)
{
    // The system delimiter is "/" here, so nothing changes.
    return src;
}

QString TUrlUtil::ReplaceSysPathDelimiterToUrl(const QString& src)
{
    return src;
}

// ---------------------------------------------------------------- file paths

QString TFilePathUtil::ExtractFileMainName(const QString& fileName)
{
    int slash = fileName.lastIndexOf(QLatin1Char('/'));
    int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? fileName.left(dot) : fileName;
}

QString TFilePathUtil::AddSuffixToFileMainName(const QString& fileName, const QString& suffix)
{
    QString main = ExtractFileMainName(fileName);
    return main + suffix + fileName.mid(main.size());
}

bool TFilePathUtil::CharIsInvalidPathCharacter(QChar c)
{
    static const QString invalid = QStringLiteral("\"'*+,/:;<=>?[]|");
    return invalid.contains(c);
}

bool TFilePathUtil::IsPathUNC(const QString& path)
{
    const QString p = QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (!p.startsWith(QLatin1String("\\\\")))
        return false;
    int i; // 0-based position of the next character to look at
    if (p.startsWith(QLatin1String("\\\\?\\UNC"))) {
        i = 7;
    } else {
        i = 1;
        if (i >= p.size() || p.at(i) != QLatin1Char('\\'))
            return false;
        ++i;
        int start = i;
        bool allDigits = true;
        while (i < p.size() && p.at(i) != QLatin1Char('\\')) {
            if (!IsMachineNameChar(p.at(i)))
                return false;
            if (!p.at(i).isDigit())
                allDigits = false;
            ++i;
        }
        if (i == start || allDigits)
            return false;
    }
    if (i >= p.size() || p.at(i) != QLatin1Char('\\'))
        return false;
    ++i;
    while (i < p.size() && p.at(i) != QLatin1Char('\\')) {
        if (CharIsInvalidPathCharacter(p.at(i)))
            return false;
        ++i;
    }
    return true;
}

bool TFilePathUtil::IsPathDiskDevice(const QString& path)
{
    return QString(path).replace(QLatin1Char('/'), QLatin1Char('\\')).startsWith(QLatin1String("\\\\.\\"));
}

bool TFilePathUtil::IsPathAbsolute(const QString& path)
{
    if (path.isEmpty())
        return false;
    // A Linux path is absolute from its root; the Windows forms keep their rules.
    if (path.startsWith(QLatin1Char('/')) && !path.startsWith(QLatin1String("//")))
        return true;
    const QString p = QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (IsPathUNC(p))
        return true;
    int start = IsPathDiskDevice(p) ? 4 : 0;
    if (p.size() - start < 3)
        return false;
    QChar drive = p.at(start);
    bool letter = (drive >= QLatin1Char('a') && drive <= QLatin1Char('z')) || (drive >= QLatin1Char('A') && drive <= QLatin1Char('Z'));
    return letter && p.at(start + 1) == QLatin1Char(':') && p.at(start + 2) == QLatin1Char('\\');
}

QString TFilePathUtil::CombinePath(const QString& relPath, const QString& basePath)
{
    if (IsPathAbsolute(relPath))
        return relPath;
    QString base = basePath.endsWith(QLatin1Char('/')) ? basePath : basePath + QLatin1Char('/');
    QString combined = QDir::cleanPath(base + relPath);
    return combined.isEmpty() ? relPath : combined;
}

QString TFilePathUtil::ChangePathDelimiterToSysStyle(const QString& path)
{
    return path; // "/" is the system delimiter
}

QString TFilePathUtil::ChangePatHDelimiterToWebStyle(const QString& path)
{
    return path;
}
