#include "officefileformats.h"

#include "mswordutil.h"

#include <QFileInfo>

QString TOfficeFileFormats::ImportNameFilter()
{
    // Qt reads the patterns between the parentheses, separated by spaces.
    return QStringLiteral("Word Documents (*.doc *.docx *.odt *.rtf)");
}

const QVector<TOfficeExportFormat>& TOfficeFileFormats::ExportFormats()
{
    static const QVector<TOfficeExportFormat> formats = {
        {QStringLiteral("Word Document (*.docx)"), QStringLiteral("docx"), QStringLiteral("docx")},
        {QStringLiteral("Word 97-2003 Document (*.doc)"), QStringLiteral("doc"), QStringLiteral("doc")},
        {QStringLiteral("OpenDocument Text (*.odt)"), QStringLiteral("odt"), QStringLiteral("odt")},
        {QStringLiteral("Rich Text Format (*.rtf)"), QStringLiteral("rtf"), QStringLiteral("rtf")},
        {QStringLiteral("Web Page, Filtered (*.html)"), QStringLiteral("html"), QStringLiteral("html")},
    };
    return formats;
}

QStringList TOfficeFileFormats::ExportNameFilters()
{
    QStringList filters;
    for (const TOfficeExportFormat& f : ExportFormats())
        filters << f.nameFilter;
    return filters;
}

const TOfficeExportFormat& TOfficeFileFormats::ExportFormatFor(const QString& nameFilter)
{
    for (const TOfficeExportFormat& f : ExportFormats())
        if (f.nameFilter == nameFilter)
            return f;
    return ExportFormats().front();
}

QString TOfficeFileFormats::ExportFormatForFile(const QString& fileName, const QString& nameFilter)
{
    const QString typed = TMsWordUtil::FormatForFile(fileName);
    return typed.isEmpty() ? ExportFormatFor(nameFilter).format : typed;
}

QString TOfficeFileFormats::WithSuffix(const QString& fileName, const TOfficeExportFormat& format)
{
    if (!QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + QLatin1Char('.') + format.suffix;
}
