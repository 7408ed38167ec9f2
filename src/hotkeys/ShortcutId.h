#pragma once

#include <QKeyCombination>
#include <QList>
#include <QString>

#include <optional>

// A hotkey's id: its physical key, its modifiers and the program's signature.
// The numbers are macOS's, which the log's ids have always carried: a key is
// its place on the US keyboard as a macOS virtual key code (kVK_ANSI_A is 0),
// the modifier mask Carbon's (Super 256, Shift 512, Alt 2048, Ctrl 4096), the
// signature "VNTL" as a big-endian 32-bit number. The log names hotkeys by
// it, and the registry and `--add-desktop-shortcuts` decide by it which
// button owns a combination.
class ShortcutId {
public:
    static constexpr quint32 signature = 0x564E544C;

    // Nothing for keys outside the shortcut vocabulary.
    static std::optional<quint32> keyCode(Qt::Key key);
    static quint32 modifierMask(Qt::KeyboardModifiers modifiers);

    // Key code, modifier mask and signature: "3_2304_1447973964"; empty when
    // the key has no code.
    static QString of(QKeyCombination combination);

    // One physical key, one owner: combinations with the same id press the
    // same key ("=" and "+", "1" and "!" on the US layout), and of the
    // buttons on it the last in the list owns it. For each combination, the
    // index of its owner.
    static QList<qsizetype> owners(const QList<QKeyCombination> &combinations);
};
