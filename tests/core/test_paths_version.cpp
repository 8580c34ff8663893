// Path, URL and time-stamp utilities and the program version, as tables.
#include "coretest.h"

#include "utillib/filepathutils.h"
#include "utillib/globalutils.h"
#include "utillib/version.h"

#include <QDir>

TEST(UrlUtil, Cases)
{
    struct Case { QString in, include, exclude, protocol; bool absolute, file; };
    const Case cases[] = {
        {"a/b", "a/b/", "a/b", "", false, false},
        {"a/b/", "a/b/", "a/b", "", false, false},
        {"a/b//", "a/b//", "a/b/", "", false, false},
        {"", "/", "", "", false, false},
        {"ABC://x", "ABC://x/", "ABC://x", "abc", true, false},
        {"://x", "://x/", "://x", "", true, false},
        {"FILE:///c:/a", "FILE:///c:/a/", "FILE:///c:/a", "file", true, true},
        {"see http://x", "see http://x/", "see http://x", "see http", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        EXPECT_EQ(TUrlUtil::IncludeTrailingPathDelimiter(c.in), c.include);
        EXPECT_EQ(TUrlUtil::ExcludeTrailingPathDelimiter(c.in), c.exclude);
        EXPECT_EQ(TUrlUtil::GetUrlProtocol(c.in), c.protocol);
        EXPECT_EQ(TUrlUtil::IsAbsoluteUrl(c.in), c.absolute);
        EXPECT_EQ(TUrlUtil::IsUrlRelative(c.in), !c.absolute);
        EXPECT_EQ(TUrlUtil::IsFileProtocol(c.in), c.file);
    }
    EXPECT_TRUE(TUrlUtil::IsPathDelimiter("a/b", 2));
    EXPECT_FALSE(TUrlUtil::IsPathDelimiter("a/b", 0));
    EXPECT_FALSE(TUrlUtil::IsPathDelimiter("a/b", 4));
}

TEST(UrlUtil, FileUrlsAndDecoding)
{
    struct Case { QString in, out; };
    const Case paths[] = {
        {"file:///home/a/My%20Pic.png", "/home/a/My Pic.png"},
        {"file:///tmp/%E4%BD%A0%u597D.png", QString::fromUtf8("/tmp/你好.png")},
        {"FILE:///tmp/a%20b", "FILE:///tmp/a b"}, // no exact "file:///": the whole text is decoded
        {"/plain/path+x", "/plain/path+x"},        // "+" stays
        {"x%zzy%4", "xy"},                          // malformed escapes are skipped whole
    };
    for (const Case& c : paths)
        EXPECT_EQ(TUrlUtil::FileUrlToAbsolutePath(c.in), c.out) << c.in.toStdString();
    EXPECT_EQ(TUrlUtil::UrlEncode(QString::fromUtf8("http://h/a b/ü.png?q=ä")),
              QStringLiteral("http://h/a%20b/%C3%BC.png?q=%C3%A4"));
}

TEST(FilePathUtil, NamesAndKinds)
{
    EXPECT_EQ(TFilePathUtil::ExtractFileMainName("dir/a.png"), QStringLiteral("dir/a"));
    EXPECT_EQ(TFilePathUtil::ExtractFileMainName("d.x/a"), QStringLiteral("d.x/a"));
    EXPECT_EQ(TFilePathUtil::AddSuffixToFileMainName("dir/a.png", "_1"), QStringLiteral("dir/a_1.png"));
    EXPECT_EQ(TFilePathUtil::AddSuffixToFileMainName("F1_a.b.png", "_0"), QStringLiteral("F1_a.b_0.png"));
    EXPECT_EQ(TFilePathUtil::AddSuffixToFileMainName("noext", "_2"), QStringLiteral("noext_2"));

    int invalid = 0;
    for (char16_t c = 1; c < 128; ++c)
        invalid += TFilePathUtil::CharIsInvalidPathCharacter(QChar(c)) ? 1 : 0;
    EXPECT_EQ(invalid, 15);

    struct Case { QString path; bool unc, absolute; };
    const Case cases[] = {
        {R"(\\server\share)", true, true},
        {"//server/share", true, true},
        {R"(\\server\)", true, true},
        {R"(\\?\UNC\server\share)", true, true},
        {R"(\\123\share)", false, false},
        {R"(\\server)", false, false},
        {R"(\\ser ver\share)", false, false},
        {R"(\\server\sh:are)", false, false},
        {R"(C:\x)", false, true},
        {R"(\\.\C:\)", false, true},
        {"C:", false, false},
        {"C:x", false, false},
        {R"(x\y)", false, false},
        {"/home/a", false, true},
        {"", false, false},
        {"a/b", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(TFilePathUtil::IsPathUNC(c.path), c.unc);
        EXPECT_EQ(TFilePathUtil::IsPathAbsolute(c.path), c.absolute);
    }
    EXPECT_TRUE(TFilePathUtil::IsPathDiskDevice("//./x"));

    EXPECT_EQ(TFilePathUtil::CombinePath("../b.txt", "/a/c"), QStringLiteral("/a/b.txt"));
    EXPECT_EQ(TFilePathUtil::CombinePath("./b/./c", "/a/"), QStringLiteral("/a/b/c"));
    EXPECT_EQ(TFilePathUtil::CombinePath("/x", "/a"), QStringLiteral("/x"));
    EXPECT_EQ(TFilePathUtil::CombinePath(R"(D:\x)", "/a"), QStringLiteral(R"(D:\x)"));
}

TEST(SysFilePathUtil, LinuxFolders)
{
    {
        ScopedEnv a("APPDATA", "/appdata");
        EXPECT_EQ(TSysFilePathUtil::AppDataPath(), QStringLiteral("/appdata"));
    }
    {
        ScopedEnv a("APPDATA", "");
        ScopedEnv x("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(TSysFilePathUtil::AppDataPath(), QStringLiteral("/xdg"));
        ScopedEnv x2("XDG_CONFIG_HOME", "");
        EXPECT_EQ(TSysFilePathUtil::AppDataPath(), QDir::homePath() + "/.config");
    }
    {
        ScopedEnv t("TEMP", "");
        ScopedEnv t2("TMP", "/tmpdir");
        EXPECT_EQ(TSysFilePathUtil::TempFilePath(), QStringLiteral("/tmpdir"));
        ScopedEnv t3("TEMP", "/temp");
        EXPECT_EQ(TSysFilePathUtil::TempFilePath(), QStringLiteral("/temp"));
    }
    EXPECT_TRUE(TSysFilePathUtil::CurrAppFileName().endsWith("/test_core"));
    EXPECT_EQ(TSysFilePathUtil::CurrAppFilePath() + "/test_core", TSysFilePathUtil::CurrAppFileName());
}

TEST(GlobalUtils, TimeStampName)
{
    const QDateTime at(QDate(2011, 3, 4), QTime(5, 6, 7, 89));
    EXPECT_EQ(TimeStampName("F", at), QStringLiteral("F20110304050607089"));
    const QString now = TimeStampName("F");
    EXPECT_EQ(now.size(), 18);
}

TEST(Version, ParseCompareFormat)
{
    struct Case { QString text, formatted; };
    const Case cases[] = {
        {"2.x.3", "2.0.3.0"},
        {"1.0.2", "1.0.2.0"},
        {"1.2.3.4.5", "1.2.3.4"},
        {"0.0.0.0", ""},
        {"garbage", ""},
        {"", ""},
        {"10.20.30.40", "10.20.30.40"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TVersion::FromString(c.text).ToString(), c.formatted) << c.text.toStdString();

    EXPECT_GT(TVersion::FromString("1.0.2"), TVersion::FromString("1.0.0.4"));
    EXPECT_LT(TVersion::FromString("1.9"), TVersion::FromString("2"));
    EXPECT_EQ(TVersion::Compare(TVersion::FromString("3.1"), TVersion::FromString("3.1.0.0")), 0);
    EXPECT_LT(TVersion::Compare(TVersion::FromString("-2147483648"), TVersion::FromString("2147483647")), 0);
    EXPECT_FALSE(AppVersion().IsEmpty());
}
