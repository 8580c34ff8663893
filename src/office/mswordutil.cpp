#include "mswordutil.h"
#include "officeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace word_const;

std::unique_ptr<IWordDocument> TMsWordUtil::OpenDoc(IWordAutomation& Docs, const QString& FileName,
                                                    bool ConfirmConversions, bool ReadOnly, bool AddToRecentFiles,
                                                    const QString& PasswordDocument, const QString& PasswordTemplate,
                                                    bool Revert, const QString& WritePasswordDocument,
                                                    const QString& WritePasswordTemplate, TOleEnum Format,
                                                    TOleEnum Encoding, bool Visible, bool OpenAndRepair,
                                                    TOleEnum DocumentDirection, bool NoEncodingDialog)
{
    // No counterpart in LibreOffice (see the class comment).
    Q_UNUSED(ConfirmConversions)
    Q_UNUSED(AddToRecentFiles)
    Q_UNUSED(Revert)
    Q_UNUSED(Format)
    Q_UNUSED(Encoding)
    Q_UNUSED(Visible)
    Q_UNUSED(OpenAndRepair)
    Q_UNUSED(DocumentDirection)
    Q_UNUSED(NoEncodingDialog)
    if (!PasswordDocument.isEmpty() || !PasswordTemplate.isEmpty() || !WritePasswordDocument.isEmpty()
        || !WritePasswordTemplate.isEmpty())
        throw EOfficeError(QStringLiteral("Password-protected documents cannot be opened"));
    return Docs.OpenDocument(FileName, ReadOnly);
}

std::unique_ptr<IWordDocument> TMsWordUtil::OpenDocSimple(IWordAutomation& Docs, const QString& FileName,
                                                          TOleEnum Encoding, bool Visible)
{
    return OpenDoc(Docs, FileName, false, false, false, QString(), QString(), false, QString(), QString(),
                   wdOpenFormatAuto, Encoding, Visible, false, wdLeftToRight, false);
}

QString TMsWordUtil::FormatName(TOleEnum FileFormat)
{
    switch (FileFormat) {
    case wdFormatDocument:
        return QStringLiteral("doc");
    case wdFormatText:
    case wdFormatTextLineBreaks:
    case wdFormatDOSText:
    case wdFormatDOSTextLineBreaks:
    case wdFormatUnicodeText:
        return QStringLiteral("txt");
    case wdFormatRTF:
        return QStringLiteral("rtf");
    case wdFormatHTML:
    case wdFormatFilteredHTML:
        return QStringLiteral("html");
    case wdFormatXMLDocument:
    case wdFormatDocumentDefault:
    case wdFormatStrictOpenXMLDocument:
        return QStringLiteral("docx");
    case wdFormatPDF:
        return QStringLiteral("pdf");
    case wdFormatOpenDocumentText:
        return QStringLiteral("odt");
    default:
        return {};
    }
}

QString TMsWordUtil::FormatForFile(const QString& FileName)
{
    const QString ext = QFileInfo(FileName).suffix().toLower();
    if (ext == QLatin1String("htm") || ext == QLatin1String("html"))
        return QStringLiteral("html");
    if (ext == QLatin1String("doc") || ext == QLatin1String("docx") || ext == QLatin1String("odt")
        || ext == QLatin1String("rtf") || ext == QLatin1String("txt") || ext == QLatin1String("pdf"))
        return ext;
    return {};
}

void TMsWordUtil::SaveDocAs(IWordDocument& Doc, const QString& FileName, TOleEnum FileFormat, bool LockComments,
                            const QString& Password, bool AddToRecentFiles, const QString& WritePassword,
                            bool ReadOnlyRecommended, bool EmbedTrueTypeFonts, bool SaveNativePictureFormat,
                            bool SaveFormsData, bool SaveAsAOCELetter, TOleEnum Encoding, bool InsertLineBreaks,
                            bool AllowSubstitutions, TOleEnum LineEnding, bool AddBiDiMarks)
{
    Q_UNUSED(LockComments)
    Q_UNUSED(AddToRecentFiles)
    Q_UNUSED(ReadOnlyRecommended)
    Q_UNUSED(EmbedTrueTypeFonts)
    Q_UNUSED(SaveNativePictureFormat)
    Q_UNUSED(SaveFormsData)
    Q_UNUSED(SaveAsAOCELetter)
    Q_UNUSED(InsertLineBreaks)
    Q_UNUSED(AllowSubstitutions)
    Q_UNUSED(AddBiDiMarks)
    if (!Password.isEmpty() || !WritePassword.isEmpty())
        throw EOfficeError(QStringLiteral("Documents cannot be saved with a password"));
    const QString format = FormatName(FileFormat);
    if (format.isEmpty())
        throw EOfficeError(QStringLiteral("The file format %1 is not supported").arg(FileFormat));
    if (format != QLatin1String("txt")) {
        Doc.SaveAs(FileName, format);
        return;
    }
    if (Encoding != 0 && Encoding != msoEncodingUTF8)
        throw EOfficeError(QStringLiteral("Text can only be saved as UTF-8"));
    // LibreOffice's short "txt" format ignores filter options; the line
    // endings asked for are applied to the file it wrote.
    Doc.SaveAs(FileName, format);
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EOfficeError(QStringLiteral("Cannot read %1 back").arg(FileName));
    QByteArray text = file.readAll();
    file.close();
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    const QByteArray ending = LineEnding == wdCROnly ? "\r" : LineEnding == wdLFOnly ? "\n" : "\r\n";
    if (ending != "\n")
        text.replace("\n", ending);
    QSaveFile out(FileName);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit())
        throw EOfficeError(QStringLiteral("Cannot write %1").arg(FileName));
}

void TMsWordUtil::CloseDoc(IWordDocument& Doc, bool SaveChanges, TOleEnum OriginalFormat, bool RouteDocument)
{
    Q_UNUSED(RouteDocument)
    if (SaveChanges) {
        const QString file = Doc.FileName();
        if (file.isEmpty())
            throw EOfficeError(QStringLiteral("A new document has no file to save its changes to"));
        const QString format = OriginalFormat == wdWordDocument ? QStringLiteral("doc") : FormatForFile(file);
        if (format.isEmpty())
            throw EOfficeError(QStringLiteral("Cannot tell the format of %1").arg(file));
        Doc.SaveAs(file, format);
    }
    Doc.Close();
}
