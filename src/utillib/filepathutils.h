#pragma once

#include <QString>

// System folders. Windows-only sources keep their names and read their
// environment variables where such a variable exists; on Linux the ones the
// program uses map onto the XDG and POSIX conventions (see the source).
class TSysFilePathUtil {
public:
    static QString AllUserDesktopPath();
    static QString AllUsersAppDataPath();
    static QString AllUsersDocumentPath();
    static QString AllUsersProfilePath();
    // APPDATA when set, else $XDG_CONFIG_HOME, else $HOME/.config.
    static QString AppDataPath();
    static QString CmdExeFile();
    static QString CommonProgramFilesPath();
    static QString CurrAppFileName();
    static QString CurrAppFilePath();
    static QString CurrUserAppDataPath();
    static QString CurrUserDesktopPath();
    static QString CurrUserDocumentPath();
    static QString CurrUserHomePath();
    static QString CurrUserProfilerPath();
    static QString HomeDriverPath();
    static QString OsRootPath();
    static QString OsSystemPath();
    static QString ProgramFilesPath();
    static QString SystemDriverPath();
    // TEMP, else TMP, else the system temporary folder.
    static QString TempFilePath();
};

// URL texts; the web delimiter is "/". Positions count from 1.
class TUrlUtil {
public:
    static bool IsPathDelimiter(const QString& value, int index);
    static QString IncludeTrailingPathDelimiter(const QString& url);
    static QString ExcludeTrailingPathDelimiter(const QString& url);
    static bool IsAbsoluteUrl(const QString& url);
    static bool IsUrlAbsolute(const QString& url) { return IsAbsoluteUrl(url); }
    static bool IsUrlRelative(const QString& url) { return !IsAbsoluteUrl(url); }
    static QString GetUrlProtocol(const QString& url);
    static bool IsFileProtocol(const QString& url);
    // file:///home/a/My%20Pic.png -> /home/a/My Pic.png
    static QString FileUrlToAbsolutePath(const QString& url);
    static QString UrlDecode(const QString& src);
    static QString UrlEncode(const QString& src);
    static QString ReplaceUrlPathDelimiterToSys(const QString& src);
    static QString ReplaceSysPathDelimiterToUrl(const QString& src);
};

// File path texts. The system delimiter here is "/"; the Windows-only tests
// (UNC, disk devices, drive letters) are kept as pure text functions.
class TFilePathUtil {
public:
    static QString ExtractFileMainName(const QString& fileName);
    static QString AddSuffixToFileMainName(const QString& fileName, const QString& suffix);
    static bool CharIsInvalidPathCharacter(QChar c);
    static bool IsPathUNC(const QString& path);
    static bool IsPathDiskDevice(const QString& path);
    static bool IsPathAbsolute(const QString& path);
    static bool IsPathRelative(const QString& path) { return !IsPathAbsolute(path); }
    static QString CombinePath(const QString& relPath, const QString& basePath);
    static QString PathRelToAbs(const QString& relPath, const QString& basePath) { return CombinePath(relPath, basePath); }
    static QString ChangePathDelimiterToSysStyle(const QString& path);
    static QString ChangePatHDelimiterToWebStyle(const QString& path);
};
