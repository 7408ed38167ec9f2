#pragma once

#include "model/ModifierFlags.h"

#include <QJsonObject>
#include <QKeyCombination>
#include <QString>
#include <QStringView>

#include <optional>

// A key as text plus the modifiers held with it. An empty key means no
// shortcut. The stored and shown text form is displayString():
// "⌘ + ⌥ + F".
struct KeyboardShortcut {
    QString key;
    ModifierFlags modifiers;

    // Modifier symbols in Super (⌘), Alt (⌥), Shift (⇧), Ctrl (⌃) order,
    // then the upper-cased key, joined by " + "; empty when there is no key.
    QString displayString() const;

    // The combination in Qt's key vocabulary (Super is Qt's Meta). Nothing
    // when the key names no key this program binds: letters and digits, the other printable ASCII characters, "F1"–"F12",
    // "Space", "Return", "Tab", "Escape", "Left", "Right", "Up", "Down" and
    // "Plus" (case-insensitively), and the control characters of Return, Tab
    // and Escape.
    std::optional<QKeyCombination> keyCombination() const;
    // The key text and modifiers of a combination the user pressed; an empty
    // key for keys that have no text form here.
    static KeyboardShortcut fromKeyCombination(QKeyCombination combination);

    // {"key": …, "modifiers": raw value}
    QJsonObject toJson() const;
    static std::optional<KeyboardShortcut> fromJson(const QJsonObject &object);

    // Keys compare under Unicode canonical equivalence, case-sensitively.
    friend bool operator==(const KeyboardShortcut &a, const KeyboardShortcut &b);
};

// Reads the text form and the word form ("cmd+shift+k"). Never fails:
// unknown words become the key, the last one wins.
KeyboardShortcut parseShortcutText(QStringView text);
