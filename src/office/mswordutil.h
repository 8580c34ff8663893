#pragma once

#include "wordautomation.h"

#include <QString>
#include <cstdint>
#include <memory>

// Word's enumerations travel as 32-bit integers.
using TOleEnum = std::int32_t;

// The values of Word's enumerations that callers pass.
namespace word_const {
constexpr TOleEnum wdOpenFormatAuto = 0;
constexpr TOleEnum wdLeftToRight = 0;
constexpr TOleEnum msoEncodingUTF8 = 65001;
constexpr TOleEnum wdFormatDocument = 0;
constexpr TOleEnum wdFormatText = 2;
constexpr TOleEnum wdFormatTextLineBreaks = 3;
constexpr TOleEnum wdFormatDOSText = 4;
constexpr TOleEnum wdFormatDOSTextLineBreaks = 5;
constexpr TOleEnum wdFormatRTF = 6;
constexpr TOleEnum wdFormatUnicodeText = 7;
constexpr TOleEnum wdFormatHTML = 8;
constexpr TOleEnum wdFormatFilteredHTML = 10;
constexpr TOleEnum wdFormatXMLDocument = 12;
constexpr TOleEnum wdFormatDocumentDefault = 16;
constexpr TOleEnum wdFormatPDF = 17;
constexpr TOleEnum wdFormatOpenDocumentText = 23;
constexpr TOleEnum wdFormatStrictOpenXMLDocument = 24;
constexpr TOleEnum wdCRLF = 0;
constexpr TOleEnum wdCROnly = 1;
constexpr TOleEnum wdLFOnly = 2;
constexpr TOleEnum wdWordDocument = 0;
constexpr TOleEnum wdOriginalDocumentFormat = 1;
constexpr TOleEnum wdPromptUser = 2;
} // namespace word_const

// Opens, saves and closes documents with every argument of the word
// processor's own calls spelled out, so callers pass plain values.
//
// What LibreOffice can honour is mapped; the rest is accepted and has no
// effect, except where ignoring it would report a failure as success:
// - OpenDoc: ReadOnly is honoured. Passwords cannot be handed to the helper,
//   so a non-empty PasswordDocument, PasswordTemplate,
//   WritePasswordDocument or WritePasswordTemplate raises EOfficeError
//   instead of opening the file without them. Format is always detected from
//   the content (every WdOpenFormat value is accepted). Encoding: the file's
//   own declaration wins (HTML meta charset; text is read as UTF-8). Visible:
//   every document is hidden until a view shows it. ConfirmConversions,
//   AddToRecentFiles, Revert, OpenAndRepair, DocumentDirection and
//   NoEncodingDialog have no counterpart (the helper never shows a dialog).
// - SaveDocAs: FileFormat picks the format (see FormatName); an unknown one
//   raises EOfficeError. Password and WritePassword, when not empty, raise
//   EOfficeError: saving unprotected while the caller asked for a password
//   would be a silent failure. Encoding (UTF-8 only) and LineEnding apply to
//   the text formats. LockComments, AddToRecentFiles, ReadOnlyRecommended,
//   EmbedTrueTypeFonts, SaveNativePictureFormat, SaveFormsData,
//   SaveAsAOCELetter, InsertLineBreaks, AllowSubstitutions and AddBiDiMarks
//   have no effect.
// - CloseDoc: SaveChanges saves to the file the document came from, in its
//   original format (OriginalFormat wdOriginalDocumentFormat or wdPromptUser)
//   or as .doc (wdWordDocument); a new document has no file, so SaveChanges
//   on it raises EOfficeError. RouteDocument has no effect.
class TMsWordUtil {
public:
    TMsWordUtil() = delete;

    static std::unique_ptr<IWordDocument> OpenDoc(IWordAutomation& Docs, const QString& FileName,
                                                  bool ConfirmConversions, bool ReadOnly, bool AddToRecentFiles,
                                                  const QString& PasswordDocument, const QString& PasswordTemplate,
                                                  bool Revert, const QString& WritePasswordDocument,
                                                  const QString& WritePasswordTemplate, TOleEnum Format,
                                                  TOleEnum Encoding, bool Visible, bool OpenAndRepair,
                                                  TOleEnum DocumentDirection, bool NoEncodingDialog);
    static std::unique_ptr<IWordDocument> OpenDocSimple(IWordAutomation& Docs, const QString& FileName,
                                                        TOleEnum Encoding, bool Visible);
    static void SaveDocAs(IWordDocument& Doc, const QString& FileName, TOleEnum FileFormat, bool LockComments,
                          const QString& Password, bool AddToRecentFiles, const QString& WritePassword,
                          bool ReadOnlyRecommended, bool EmbedTrueTypeFonts, bool SaveNativePictureFormat,
                          bool SaveFormsData, bool SaveAsAOCELetter, TOleEnum Encoding, bool InsertLineBreaks,
                          bool AllowSubstitutions, TOleEnum LineEnding, bool AddBiDiMarks);
    static void CloseDoc(IWordDocument& Doc, bool SaveChanges, TOleEnum OriginalFormat, bool RouteDocument);

    // LibreOffice's short format name for a WdSaveFormat value; empty when
    // LibreOffice has none.
    static QString FormatName(TOleEnum FileFormat);
    // The short format name for a file name's extension ("docx" for a.docx);
    // empty when unknown.
    static QString FormatForFile(const QString& FileName);
};
