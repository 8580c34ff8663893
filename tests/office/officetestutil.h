#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace officetest {

// The helper built with the tests.
QString HelperPath();
// A small PNG of one colour, written to path; false when it cannot be written.
bool WritePng(const QString& path, const QColor& colour, int w = 40, int h = 30);
// Writes a .docx with the given paragraphs (the first one bold) through
// python3-docx, i.e. made by another program than ours. Empty on success,
// else the error output.
QString WriteDocxWithPython(const QString& path, const QStringList& paragraphs);
// The src attributes of the img elements of an HTML text, in order.
QStringList ImageSources(const QString& html);

} // namespace officetest

#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '[' << l.join(QStringLiteral("|")).toStdString() << ']';
}
