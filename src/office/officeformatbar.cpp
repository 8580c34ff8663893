#include "officeformatbar.h"
#include "officedocumentview.h"

#include <QAction>
#include <QActionGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>

namespace {

QByteArray Args(const QJsonObject& typed)
{
    return QJsonDocument(typed).toJson(QJsonDocument::Compact);
}

QJsonObject Typed(const char* type, const QJsonValue& value)
{
    return QJsonObject{{"type", QString::fromLatin1(type)}, {"value", value}};
}

// LibreOffice's names of the paragraph styles offered.
const char* const kStyles[] = {"Default Paragraph Style", "Heading 1", "Heading 2", "Heading 3",
                               "Text Body",               "Quotations", "Preformatted Text"};

} // namespace

TOfficeFormatBar::TOfficeFormatBar(TOfficeDocumentView& view, QWidget* parent)
    : QToolBar(tr("Formatting"), parent), m_view(view)
{
    setIconSize(QSize(18, 18));

    AddCommand(QStringLiteral(".uno:Undo"), QStringLiteral("edit-undo"), tr("Undo"), tr("Undo"), false);
    AddCommand(QStringLiteral(".uno:Redo"), QStringLiteral("edit-redo"), tr("Redo"), tr("Redo"), false);
    addSeparator();

    m_style = new QComboBox(this);
    for (const char* style : kStyles)
        m_style->addItem(QString::fromLatin1(style));
    m_style->setToolTip(tr("Paragraph style"));
    connect(m_style, &QComboBox::activated, this, [this](int index) { ApplyParagraphStyle(m_style->itemText(index)); });
    addWidget(m_style);

    m_font = new QFontComboBox(this);
    m_font->setToolTip(tr("Font"));
    m_font->setMaximumWidth(180);
    connect(m_font, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
        if (!m_updating)
            ApplyFont(font.family());
    });
    addWidget(m_font);

    m_size = new QComboBox(this);
    m_size->setEditable(true);
    m_size->setToolTip(tr("Font size"));
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 36, 48, 72})
        m_size->addItem(QString::number(size));
    m_size->setMinimumContentsLength(3);
    connect(m_size, &QComboBox::textActivated, this, [this](const QString& text) {
        bool ok = false;
        const double size = text.toDouble(&ok);
        if (ok && size >= 1 && size <= 999)
            ApplyFontSize(size);
    });
    addWidget(m_size);
    addSeparator();

    AddCommand(QStringLiteral(".uno:Bold"), QStringLiteral("format-text-bold"), tr("B"), tr("Bold"), true);
    AddCommand(QStringLiteral(".uno:Italic"), QStringLiteral("format-text-italic"), tr("I"), tr("Italic"), true);
    AddCommand(QStringLiteral(".uno:Underline"), QStringLiteral("format-text-underline"), tr("U"), tr("Underline"), true);
    QAction* colour = addAction(QIcon::fromTheme(QStringLiteral("format-text-color"), QIcon()), tr("Colour"));
    colour->setToolTip(tr("Font colour"));
    connect(colour, &QAction::triggered, this, &TOfficeFormatBar::ChooseColour);
    addSeparator();

    auto* align = new QActionGroup(this);
    for (const auto& [cmd, icon, text, tip] :
         {std::tuple{".uno:LeftPara", "format-justify-left", "Left", "Align left"},
          std::tuple{".uno:CenterPara", "format-justify-center", "Centre", "Centre"},
          std::tuple{".uno:RightPara", "format-justify-right", "Right", "Align right"},
          std::tuple{".uno:JustifyPara", "format-justify-fill", "Justify", "Justify"}})
        align->addAction(AddCommand(QString::fromLatin1(cmd), QString::fromLatin1(icon), tr(text), tr(tip), true));
    addSeparator();
    AddCommand(QStringLiteral(".uno:DefaultBullet"), QStringLiteral("view-list-symbolic"), tr("Bullets"),
               tr("Bulleted list"), true);
    AddCommand(QStringLiteral(".uno:DefaultNumbering"), QStringLiteral("view-list-ordered-symbolic"), tr("Numbering"),
               tr("Numbered list"), true);
    AddCommand(QStringLiteral(".uno:DecrementIndent"), QStringLiteral("format-indent-less"), tr("Outdent"),
               tr("Decrease indent"), false);
    AddCommand(QStringLiteral(".uno:IncrementIndent"), QStringLiteral("format-indent-more"), tr("Indent"),
               tr("Increase indent"), false);
    addSeparator();

    QAction* picture = addAction(QIcon::fromTheme(QStringLiteral("insert-image"), QIcon()), tr("Picture"));
    picture->setToolTip(tr("Insert a picture from a file"));
    connect(picture, &QAction::triggered, this, &TOfficeFormatBar::InsertPicture);

    auto* table = new QToolButton(this);
    table->setText(tr("Table"));
    table->setIcon(QIcon::fromTheme(QStringLiteral("x-office-spreadsheet-symbolic"), QIcon()));
    table->setToolTip(tr("Insert a table"));
    table->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(table);
    for (const auto& [rows, cols] : {std::pair{2, 2}, std::pair{3, 3}, std::pair{4, 4}, std::pair{5, 3}, std::pair{8, 4}})
        menu->addAction(tr("%1 rows × %2 columns").arg(rows).arg(cols), this,
                        [this, rows = rows, cols = cols] { InsertTable(rows, cols); });
    table->setMenu(menu);
    addWidget(table);

    connect(&m_view, &TOfficeDocumentView::CommandStateChanged, this, &TOfficeFormatBar::OnState);
}

QAction* TOfficeFormatBar::AddCommand(const QString& command, const QString& icon, const QString& text,
                                      const QString& tip, bool checkable)
{
    QAction* action = addAction(QIcon::fromTheme(icon, QIcon()), text);
    action->setToolTip(tip);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, command] {
        if (!m_updating)
            m_view.UnoCommand(command);
    });
    m_toggles.insert(command, action);
    return action;
}

void TOfficeFormatBar::OnState(const QString& command, const QString& value)
{
    m_updating = true;
    if (QAction* action = m_toggles.value(command)) {
        // Toggles report "true"/"false"; plain commands "enabled"/"disabled".
        if (action->isCheckable() && (value == QLatin1String("true") || value == QLatin1String("false")))
            action->setChecked(value == QLatin1String("true"));
        if (value == QLatin1String("disabled") || value == QLatin1String("enabled"))
            action->setEnabled(value == QLatin1String("enabled"));
    } else if (command == QLatin1String(".uno:StyleApply")) {
        const QSignalBlocker block(m_style);
        const int index = m_style->findText(value);
        if (index >= 0)
            m_style->setCurrentIndex(index);
        else {
            m_style->addItem(value);
            m_style->setCurrentIndex(m_style->count() - 1);
        }
    } else if (command == QLatin1String(".uno:CharFontName")) {
        const QSignalBlocker block(m_font);
        if (!value.isEmpty())
            m_font->setCurrentFont(QFont(value));
    } else if (command == QLatin1String(".uno:FontHeight")) {
        const QSignalBlocker block(m_size);
        if (!value.isEmpty() && value != QLatin1String("0"))
            m_size->setEditText(value);
    }
    m_updating = false;
}

void TOfficeFormatBar::ApplyParagraphStyle(const QString& style)
{
    m_view.UnoCommand(QStringLiteral(".uno:StyleApply"),
                      Args({{"Style", Typed("string", style)},
                            {"FamilyName", Typed("string", QStringLiteral("ParagraphStyles"))}}));
}

void TOfficeFormatBar::ApplyFont(const QString& family)
{
    m_view.UnoCommand(QStringLiteral(".uno:CharFontName"), Args({{"CharFontName.FamilyName", Typed("string", family)}}));
}

void TOfficeFormatBar::ApplyFontSize(double points)
{
    m_view.UnoCommand(QStringLiteral(".uno:FontHeight"), Args({{"FontHeight.Height", Typed("float", points)}}));
}

void TOfficeFormatBar::ApplyColour(const QColor& colour)
{
    const int rgb = (colour.red() << 16) | (colour.green() << 8) | colour.blue();
    m_view.UnoCommand(QStringLiteral(".uno:Color"), Args({{"Color", Typed("long", rgb)}}));
}

void TOfficeFormatBar::ChooseColour()
{
    const QColor colour = QColorDialog::getColor(Qt::black, this, tr("Font colour"));
    if (colour.isValid())
        ApplyColour(colour);
}

void TOfficeFormatBar::InsertPictureFile(const QString& fileName)
{
    m_view.UnoCommand(QStringLiteral(".uno:InsertGraphic"),
                      Args({{"FileName", Typed("string", QUrl::fromLocalFile(fileName).toString())}}));
}

void TOfficeFormatBar::InsertPicture()
{
    const QString file = QFileDialog::getOpenFileName(this, tr("Insert Picture"), QString(),
                                                      tr("Pictures (*.png *.jpg *.jpeg *.gif *.bmp *.svg)"));
    if (!file.isEmpty())
        InsertPictureFile(file);
}

void TOfficeFormatBar::InsertTable(int rows, int columns)
{
    m_view.UnoCommand(QStringLiteral(".uno:InsertTable"),
                      Args({{"Rows", Typed("long", rows)}, {"Columns", Typed("long", columns)}}));
}
