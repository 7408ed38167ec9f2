#pragma once

#include <QKeyCombination>
#include <QString>
#include <Qt>

#include <optional>

// One key as XKB sees it (X11 and Wayland alike): the symbol it types in a
// layout that has it, and the keycode of its position on a US keyboard
// (evdev + 8), used when the current layout has no such symbol.
struct XkbKey {
    quint32 keysym;
    quint8 usKeycode;
};

// Qt's keys of the shortcut vocabulary, translated for XKB.
class XkbKeyTable {
public:
    static std::optional<XkbKey> find(Qt::Key key);
    // The symbol Shift types on the same key of a US keyboard ('7' → '&',
    // '&' → '&', '=' → '+'); nothing for letters and keys that are not
    // printable symbols, which keep Shift as a modifier.
    static std::optional<Qt::Key> usShiftedSymbol(Qt::Key key);
    // For log lines: "F", "Space", "F5".
    static QString name(Qt::Key key);
    // XKB's name of the key's symbol, as desktops' shortcut syntaxes write
    // it ("f", "space", "bracketleft"); empty for keys outside the table.
    static QString keysymName(Qt::Key key);
    // A combination the way desktops' shortcut syntaxes write it: the names
    // given for Super, Control, Alt and Shift (in that order), then the
    // keysym name, joined by '+' ("LOGO+ALT+f", "Mod4+Mod1+f"); empty for
    // keys outside the table.
    struct ModifierNames {
        const char *super, *control, *alt, *shift;
    };
    static QString chord(QKeyCombination combination, const ModifierNames &names);
};
