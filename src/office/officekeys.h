#pragma once

#include <Qt>

class QKeyEvent;

// Qt key events in LibreOffice's terms: the character typed and VCL's key
// code with its modifier bits.
struct TOfficeKey {
    int charCode = 0;
    int keyCode = 0;
};

class TOfficeKeys {
public:
    // VCL modifier bits and the codes the view needs by name.
    static constexpr int kShift = 0x1000;
    static constexpr int kMod1 = 0x2000;   // Ctrl
    static constexpr int kMod2 = 0x4000;   // Alt
    static constexpr int kDown = 1024;
    static constexpr int kUp = 1025;
    static constexpr int kLeft = 1026;
    static constexpr int kRight = 1027;
    static constexpr int kHome = 1028;
    static constexpr int kEnd = 1029;
    static constexpr int kPageUp = 1030;
    static constexpr int kPageDown = 1031;
    static constexpr int kReturn = 1280;
    static constexpr int kEscape = 1281;
    static constexpr int kTab = 1282;
    static constexpr int kBackspace = 1283;
    static constexpr int kSpace = 1284;
    static constexpr int kInsert = 1285;
    static constexpr int kDelete = 1286;

    // Nothing (both 0) for keys LibreOffice has no use for (a lone Shift).
    static TOfficeKey FromQt(int key, Qt::KeyboardModifiers modifiers, const QString& text);
    static TOfficeKey FromQt(const QKeyEvent& event);
};
