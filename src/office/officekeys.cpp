#include "officekeys.h"

#include <QKeyEvent>

TOfficeKey TOfficeKeys::FromQt(int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    int code = 0;
    switch (key) {
    case Qt::Key_Down: code = kDown; break;
    case Qt::Key_Up: code = kUp; break;
    case Qt::Key_Left: code = kLeft; break;
    case Qt::Key_Right: code = kRight; break;
    case Qt::Key_Home: code = kHome; break;
    case Qt::Key_End: code = kEnd; break;
    case Qt::Key_PageUp: code = kPageUp; break;
    case Qt::Key_PageDown: code = kPageDown; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: code = kReturn; break;
    case Qt::Key_Escape: code = kEscape; break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: code = kTab; break;
    case Qt::Key_Backspace: code = kBackspace; break;
    case Qt::Key_Space: code = kSpace; break;
    case Qt::Key_Insert: code = kInsert; break;
    case Qt::Key_Delete: code = kDelete; break;
    default:
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            code = 512 + (key - Qt::Key_A);          // KEY_A ...
        else if (key >= Qt::Key_0 && key <= Qt::Key_9)
            code = 256 + (key - Qt::Key_0);          // KEY_0 ...
        else if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
            code = 768 + (key - Qt::Key_F1);         // KEY_F1 ...
        break;
    }

    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    int charCode = 0;
    // With Ctrl or Alt the key is a shortcut, not text (AltGr text comes
    // with both set and does carry its character).
    if (!text.isEmpty() && text.at(0).isPrint() && (!(ctrl || alt) || (ctrl && alt)))
        charCode = text.at(0).unicode();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        charCode = 13;
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        charCode = 9;
    if (key == Qt::Key_Backspace)
        charCode = 8;
    if (code == 0 && charCode == 0)
        return {};

    if (modifiers & Qt::ShiftModifier || key == Qt::Key_Backtab)
        code |= kShift;
    if (ctrl && !(ctrl && alt && charCode))
        code |= kMod1;
    if (alt && !(ctrl && alt && charCode))
        code |= kMod2;
    return {charCode, code};
}

TOfficeKey TOfficeKeys::FromQt(const QKeyEvent& event)
{
    return FromQt(event.key(), event.modifiers(), event.text());
}
