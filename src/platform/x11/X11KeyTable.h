#pragma once

#include <QString>
#include <Qt>

#include <optional>

// One key as X sees it: the symbol it types in a layout that has it, and the
// keycode of its position on a US keyboard (evdev), used when the current
// layout has no such symbol.
struct X11Key {
    quint32 keysym;
    quint8 usKeycode;
};

// Qt's keys of the shortcut vocabulary, translated for X.
class X11KeyTable {
public:
    static std::optional<X11Key> find(Qt::Key key);
    // For log lines: "F", "Space", "F5".
    static QString name(Qt::Key key);
};
