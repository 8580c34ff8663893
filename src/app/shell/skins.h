#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QStringList>

// The program's six looks. Each is the Fusion style with a palette of its own
// and a style sheet that shapes buttons, tabs, tool bars and inputs; the
// control effects (hover and focus highlights) are a separate part of the
// sheet so they can be switched off.
struct TSkinColors {
    QColor Window, WindowText, ButtonFace, ButtonText, Highlight, HighlightText;
};

struct TSkin {
    QString Name;
    QString FileName; // the name the skin package had; kept for reference
    TSkinColors Colors;
    QColor Base, AlternateBase, Accent, Border;
    int Radius = 3;
    bool Gradient = false;

    QPalette Palette() const;
    QString StyleSheet(bool controlEffects) const;
};

class TSkins {
public:
    static const QList<TSkin>& All();
    static QStringList Names();
    // Index outside the list: the first skin (a damaged file can hold any number).
    static const TSkin& At(int index);
};
