#pragma once

#include <QColor>
#include <QMap>
#include <QToolBar>

class QAction;
class QComboBox;
class QFontComboBox;
class TOfficeDocumentView;

// The formatting toolbar of the document view: paragraph style, font, size,
// bold, italic, underline, colour, alignment, bullets, numbering, indent,
// picture and table. Its buttons follow the states LibreOffice reports for
// the text at the cursor.
class TOfficeFormatBar : public QToolBar {
    Q_OBJECT
public:
    explicit TOfficeFormatBar(TOfficeDocumentView& view, QWidget* parent = nullptr);

    // The action of a command button (".uno:Bold"), for tests and menus.
    QAction* CommandAction(const QString& command) const { return m_toggles.value(command); }

    // What the bar's dialogs lead to, callable without them.
    void ApplyParagraphStyle(const QString& style);
    void ApplyFont(const QString& family);
    void ApplyFontSize(double points);
    void ApplyColour(const QColor& colour);
    void InsertPictureFile(const QString& fileName);
    void InsertTable(int rows, int columns);

private:
    QAction* AddCommand(const QString& command, const QString& icon, const QString& text, const QString& tip,
                        bool checkable);
    void OnState(const QString& command, const QString& value);
    void ChooseColour();
    void InsertPicture();

    TOfficeDocumentView& m_view;
    QComboBox* m_style = nullptr;
    QFontComboBox* m_font = nullptr;
    QComboBox* m_size = nullptr;
    QMap<QString, QAction*> m_toggles;
    bool m_updating = false;
};
