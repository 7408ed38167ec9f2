#pragma once

#include "ModifierFlags.h"

#include <QJsonObject>
#include <QString>
#include <QStringView>

#include <optional>

// A key as text plus the modifiers held with it. An empty key means no
// shortcut. The stored and shown text form is displayString():
// "⌘ + ⌥ + F".
struct KeyboardShortcut {
    QString key;
    ModifierFlags modifiers;

    // Modifier symbols in command, option, shift, control order, then the
    // upper-cased key, joined by " + "; empty when there is no key.
    QString displayString() const;

    // {"key": …, "modifiers": raw value}
    QJsonObject toJson() const;
    static std::optional<KeyboardShortcut> fromJson(const QJsonObject &object);

    // Keys compare under Unicode canonical equivalence, case-sensitively.
    friend bool operator==(const KeyboardShortcut &a, const KeyboardShortcut &b);
};

// Reads the text form and the word form ("cmd+shift+k"). Never fails:
// unknown words become the key, the last one wins.
KeyboardShortcut parseShortcutText(QStringView text);
