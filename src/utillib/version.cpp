#include "utillib/version.h"

#include <QStringList>

void TVersion::Parse(const QString& text)
{
    Clear();
    const QStringList parts = text.split(QLatin1Char('.'));
    int* fields[4] = {&FMajor, &FMinor, &FRelease, &FBuild};
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        bool ok = false;
        int v = parts[i].trimmed().toInt(&ok);
        *fields[i] = ok ? v : 0;
    }
}

TVersion TVersion::FromString(const QString& text)
{
    TVersion v;
    v.Parse(text);
    return v;
}

int TVersion::Compare(const TVersion& a, const TVersion& b)
{
    // Subtraction as the version check defines it; 64-bit so it cannot overflow.
    const long long diffs[4] = {static_cast<long long>(a.FMajor) - b.FMajor, static_cast<long long>(a.FMinor) - b.FMinor,
                                static_cast<long long>(a.FRelease) - b.FRelease, static_cast<long long>(a.FBuild) - b.FBuild};
    for (long long d : diffs)
        if (d != 0)
            return d < 0 ? -1 : 1;
    return 0;
}

QString TVersion::ToString() const
{
    if (IsEmpty())
        return {};
    return QString::asprintf("%d.%d.%d.%d", FMajor, FMinor, FRelease, FBuild);
}

const TVersion& AppVersion()
{
    static const TVersion version = TVersion::FromString(QStringLiteral(VANTOLI_VERSION));
    return version;
}
