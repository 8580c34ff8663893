#pragma once

#include <QString>

// A four-number dotted version: major.minor.release.build.
struct TVersion {
    int FMinor = 0;
    int FRelease = 0;
    int FMajor = 0;
    int FBuild = 0;
    QString FExtraInfo; // carried, never set or read

    void Clear() { FMajor = FMinor = FRelease = FBuild = 0; }
    // Splits at every "."; the first four parts become the numbers, 0 for a
    // part that is not a number; further parts are ignored.
    void Parse(const QString& text);
    static TVersion FromString(const QString& text);
    bool IsEmpty() const { return FMajor == 0 && FMinor == 0 && FRelease == 0 && FBuild == 0; }
    static int Compare(const TVersion& a, const TVersion& b);
    // Empty when IsEmpty, else "%d.%d.%d.%d".
    QString ToString() const;

    friend bool operator<(const TVersion& a, const TVersion& b) { return Compare(a, b) < 0; }
    friend bool operator>(const TVersion& a, const TVersion& b) { return Compare(a, b) > 0; }
    friend bool operator==(const TVersion& a, const TVersion& b) { return Compare(a, b) == 0; }
};

// The program's own version, from the build's product version.
const TVersion& AppVersion();
