#include "app/shell/skins.h"

namespace {

TSkin Make(const char* name, const char* file, QColor window, QColor text, QColor button, QColor buttonText,
           QColor highlight, QColor highlightText, QColor base, QColor accent, QColor border, int radius, bool gradient)
{
    TSkin s;
    s.Name = QString::fromLatin1(name);
    s.FileName = QString::fromLatin1(file);
    s.Colors = {window, text, button, buttonText, highlight, highlightText};
    s.Base = base;
    s.AlternateBase = base.darker(104);
    s.Accent = accent;
    s.Border = border;
    s.Radius = radius;
    s.Gradient = gradient;
    return s;
}

QString Css(const QColor& c)
{
    return c.name(QColor::HexRgb);
}

} // namespace

const QList<TSkin>& TSkins::All()
{
    static const QList<TSkin> skins = {
        Make("Charm", "Charm.skn", QColor("#f6efe9"), QColor("#3b2a2a"), QColor("#ecd9d2"), QColor("#3b2a2a"),
             QColor("#c0566f"), Qt::white, QColor("#fffaf7"), QColor("#c0566f"), QColor("#cfb3aa"), 6, true),
        Make("Windows7", "Windows7.skn", QColor("#eef2f8"), QColor("#1e1e1e"), QColor("#e3ebf6"), QColor("#1e1e1e"),
             QColor("#3399ff"), Qt::white, Qt::white, QColor("#2a78c9"), QColor("#8ea9cf"), 3, true),
        Make("SnowLeopard", "SnowLeopard.skn", QColor("#e8e8e8"), QColor("#202020"), QColor("#f4f4f4"), QColor("#202020"),
             QColor("#5e8fd6"), Qt::white, Qt::white, QColor("#3d7bd9"), QColor("#a7a7a7"), 5, true),
        Make("Metal", "iMetal2.skn", QColor("#3c3f44"), QColor("#e6e6e6"), QColor("#50545b"), QColor("#f0f0f0"),
             QColor("#8fa8c8"), QColor("#101010"), QColor("#2b2d31"), QColor("#9fb3cc"), QColor("#202225"), 2, true),
        Make("Laconic", "Laconic.skn", QColor("#ffffff"), QColor("#111111"), QColor("#ffffff"), QColor("#111111"),
             QColor("#111111"), Qt::white, Qt::white, QColor("#111111"), QColor("#cccccc"), 0, false),
        Make("Air", "Air2.skn", QColor("#f3f8fc"), QColor("#24323f"), QColor("#ffffff"), QColor("#24323f"),
             QColor("#58b2e8"), Qt::white, Qt::white, QColor("#2f9ad9"), QColor("#c9dceb"), 8, false),
    };
    return skins;
}

QStringList TSkins::Names()
{
    QStringList names;
    for (const TSkin& s : All())
        names << s.Name;
    return names;
}

const TSkin& TSkins::At(int index)
{
    const QList<TSkin>& all = All();
    return (index >= 0 && index < all.size()) ? all[index] : all[0];
}

QPalette TSkin::Palette() const
{
    QPalette p;
    p.setColor(QPalette::Window, Colors.Window);
    p.setColor(QPalette::WindowText, Colors.WindowText);
    p.setColor(QPalette::Button, Colors.ButtonFace);
    p.setColor(QPalette::ButtonText, Colors.ButtonText);
    p.setColor(QPalette::Highlight, Colors.Highlight);
    p.setColor(QPalette::HighlightedText, Colors.HighlightText);
    p.setColor(QPalette::Base, Base);
    p.setColor(QPalette::AlternateBase, AlternateBase);
    p.setColor(QPalette::Text, Colors.WindowText);
    p.setColor(QPalette::ToolTipBase, Base);
    p.setColor(QPalette::ToolTipText, Colors.WindowText);
    p.setColor(QPalette::PlaceholderText, Colors.WindowText.lighter(180));
    p.setColor(QPalette::Link, Accent);
    p.setColor(QPalette::Disabled, QPalette::WindowText, Colors.WindowText.lighter(220));
    p.setColor(QPalette::Disabled, QPalette::Text, Colors.WindowText.lighter(220));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, Colors.ButtonText.lighter(220));
    return p;
}

QString TSkin::StyleSheet(bool controlEffects) const
{
    const QString face = Gradient
        ? QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
              .arg(Css(Colors.ButtonFace.lighter(108)), Css(Colors.ButtonFace.darker(106)))
        : Css(Colors.ButtonFace);
    QString sheet = QStringLiteral(
        "QPushButton, QToolButton { background: %1; color: %2; border: 1px solid %3; border-radius: %4px;"
        " padding: 3px 8px; }\n"
        "QToolButton { padding: 2px; }\n"
        "QPushButton:pressed, QToolButton:pressed, QToolButton:checked { background: %5; color: %6; }\n"
        "QPushButton:disabled, QToolButton:disabled { color: %7; }\n"
        "QLineEdit, QComboBox, QSpinBox, QTextEdit, QPlainTextEdit, QListView, QTreeView, QTableView {"
        " border: 1px solid %3; border-radius: %8px; background: %9; }\n"
        "QTabBar::tab { background: %1; border: 1px solid %3; padding: 4px 10px; margin-right: 1px;"
        " border-top-left-radius: %4px; border-top-right-radius: %4px; }\n"
        "QTabBar::tab:selected { background: %9; border-bottom-color: %9; }\n"
        "QToolBar { background: %10; border: none; spacing: 4px; }\n"
        "QGroupBox { border: 1px solid %3; border-radius: %4px; margin-top: 1.2em; }\n"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }\n"
        "QProgressBar { border: 1px solid %3; border-radius: %8px; text-align: center; }\n"
        "QProgressBar::chunk { background: %11; }\n")
                        .arg(face, Css(Colors.ButtonText), Css(Border), QString::number(Radius), Css(Colors.Highlight),
                             Css(Colors.HighlightText), Css(Colors.ButtonText.lighter(200)),
                             QString::number(qMax(0, Radius - 1)), Css(Base))
                        .arg(Css(Colors.Window.darker(103)), Css(Accent));
    if (controlEffects) {
        sheet += QStringLiteral(
                     "QPushButton:hover, QToolButton:hover { border-color: %1; background: %2; }\n"
                     "QLineEdit:focus, QComboBox:focus, QSpinBox:focus, QTextEdit:focus, QPlainTextEdit:focus,"
                     " QListView:focus, QTreeView:focus { border: 1px solid %1; }\n"
                     "QTabBar::tab:hover { border-color: %1; }\n")
                     .arg(Css(Accent), Css(Colors.ButtonFace.lighter(112)));
    }
    return sheet;
}
