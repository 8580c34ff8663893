#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// What the document itself says about one picture: its name (the frame
// name the HTML export writes as the img's name), its title and its
// description (the "alternative text" of the word processor's dialog, Word's
// "Alt Text" in an imported .docx). The HTML export writes only the title
// as alt, so both are read from the document's flat ODF export.
struct TDocPicture {
    QString Name;
    QString Title;
    QString Description;
};

// The document facts the cleaner uses besides the HTML.
struct TOfficeDocFacts {
    QList<TDocPicture> Pictures; // in document order
    // The size of the document's default paragraph text in points (0 when
    // unknown): font sizes equal to it are the document's, not the author's.
    double DefaultFontSizePt = 0;
};

// One img element of a cleaned page, in document order.
struct TCleanedPicture {
    QString OriginalSrc; // as the export wrote it
    QString Src;         // as the cleaned page names it
    QString Name;        // the document's name for the picture (may be empty)
    QString Alt;         // the alt written (empty: the picture has no alternative text)
};

struct TOfficeHtmlCleanResult {
    QString Html; // a whole page
    QList<TCleanedPicture> Pictures;
    int PicturesWithoutAlt = 0;
};

// Turns the word processor's HTML export into the HTML a site's own editor
// writes: semantic elements only, the author's colours, highlighting and
// font sizes as inline styles, pictures with their alternative text and an
// alignment a browser honours; the export's classes, per-paragraph page
// margins, font elements, language marks, empty spans and deprecated
// attributes go. Whatever is not known to be content goes too (scripts,
// event attributes, frames, forms, addresses with a script scheme), so the
// result is also safe to put into a page.
class TOfficeHtmlUtil {
public:
    // Cleans an exported page. Pictures whose src is a file beside the page
    // (a relative address without "..") get the safe unique file name of
    // PictureFileName as src, one per file (the first picture showing it
    // names it) (never one of takenFileNames, lower case);
    // others keep theirs.
    static TOfficeHtmlCleanResult CleanExportedHtml(const QString& html, const TOfficeDocFacts& facts,
                                                    const QSet<QString>& takenFileNames = {});

    // Picture frames and default text size of a flat ODF text document
    // (.fodt); empty facts when the text cannot be read.
    static TOfficeDocFacts ReadFlatOdfFacts(const QByteArray& flatOdf);

    // A file name for a picture that is safe in a web address: letters of
    // the name without their accents, digits, "-", "_" and "."; spaces and
    // other characters become "-"; the word processor's generated names
    // ("Image1", "Graphic2", ...) and names with nothing usable become
    // "picture-<index>"; the suffix is the lower-case extension (without
    // dot). used holds the lower-case names already given and receives the
    // new one; a clash gets "-2", "-3", ... before the extension.
    static QString PictureFileName(const QString& name, const QString& suffix, int index, QSet<QString>& used);

    // The whole step on the files of one export: reads the page and the
    // document's flat ODF export, cleans the page, copies every picture file
    // the page names beside it to the picture's own file name in the same
    // folder, and writes the cleaned page over the exported one. Raises
    // EInOutError when the page cannot be read or written; a missing flat
    // export only loses the descriptions.
    static TOfficeHtmlCleanResult PrepareExportedPage(const QString& htmlFile, const QString& flatOdfFile);
};
