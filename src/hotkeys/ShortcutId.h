#pragma once

#include <QKeyCombination>
#include <QString>

#include <optional>

// The numbers the log names a hotkey by: the key's ANSI virtual key code, the
// modifier mask (command 256, shift 512, option 2048, control 4096) and the
// program's signature, "VNTL" as a big-endian 32-bit number. Only log lines
// use them; the program itself speaks in Qt key combinations.
class ShortcutId {
public:
    static constexpr quint32 signature = 0x564E544C;

    // Nothing for keys outside the shortcut vocabulary.
    static std::optional<quint32> keyCode(Qt::Key key);
    static quint32 modifierMask(Qt::KeyboardModifiers modifiers);

    // Key code, modifier mask and signature: "3_2304_1447973964"; empty when
    // the key has no code.
    static QString of(QKeyCombination combination);
};
