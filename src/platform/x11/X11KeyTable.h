#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// One key of the shortcut model as X sees it: the symbol it types in a
// layout that has it, and the keycode of its position on a US keyboard
// (evdev), used when the current layout has no such symbol.
struct X11Key {
    quint32 keyCode;     // ANSI virtual key code of the shortcut model
    quint32 keysym;
    quint8 usKeycode;
    const char *name;    // for log lines
};

// Maps the shortcut model's ANSI virtual key codes to X keys.
class X11KeyTable {
public:
    static std::optional<X11Key> find(quint32 keyCode);
};
