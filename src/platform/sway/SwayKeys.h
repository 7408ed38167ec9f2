#pragma once

#include <QKeyCombination>
#include <QList>
#include <QString>

#include <optional>

// Keys as sway's bindsym writes them: modifiers and keys joined with '+',
// the modifiers by sway's names (Mod4 for Super, Mod1 for Alt, Ctrl,
// Shift), each key by its XKB keysym name ("Mod4+Mod1+b").
class SwayKeys {
public:
    // Empty when the key has no keysym sway could bind.
    static QString fromCombination(QKeyCombination combination);

    // A chord in a form where every spelling sway takes for it compares
    // equal: "$mod+B" (with $mod set to Mod4), "Super+b" and "b+Mod4" are
    // one chord. Nothing for text that is no chord.
    struct Chord {
        quint32 modifiers = 0;   // sway's modifier bits
        QList<quint32> keysyms;  // sorted; unknown names keep their own value below
        QList<QString> unknown;  // key names XKB does not know (mouse buttons…), lower case

        friend bool operator==(const Chord &, const Chord &) = default;
    };
    static std::optional<Chord> chordOf(const QString &keys);
};
