#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The document types the word editor imports and exports, as file dialog
// filters and as the word processor's format names.
struct TOfficeExportFormat {
    QString nameFilter;   // for QFileDialog
    QString format;       // IWordDocument::SaveAs format
    QString suffix;       // without the dot
};

class TOfficeFileFormats {
public:
    TOfficeFileFormats() = delete;

    // Import: Word documents, with OpenDocument and RTF besides.
    static QString ImportNameFilter();
    // Export, in the order offered; the first is the default.
    static const QVector<TOfficeExportFormat>& ExportFormats();
    static QStringList ExportNameFilters();
    // The format of a chosen filter; the first one when the filter is unknown.
    static const TOfficeExportFormat& ExportFormatFor(const QString& nameFilter);
    // The format name to write a chosen file in: the one its extension
    // names when the user typed one the word processor writes (any case;
    // .htm is HTML), else the chosen filter's.
    static QString ExportFormatForFile(const QString& fileName, const QString& nameFilter);
    // The file name with the format's suffix when it has none of its own
    // (a name typed without extension); an existing other suffix is kept.
    static QString WithSuffix(const QString& fileName, const TOfficeExportFormat& format);
};
