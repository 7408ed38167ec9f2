#pragma once

#include <QKeyCombination>
#include <QString>

// A combination in GTK's accelerator syntax, as GNOME's keybinding settings
// store it ("<Super><Alt>f"): only the Shift, Control, Alt and Super
// modifiers, then the key's XKB keysym name. A lock modifier would make a
// binding that never fires, and GNOME skips words it does not know.
class GnomeAccelerator {
public:
    // Empty when the key has no keysym.
    static QString fromCombination(QKeyCombination combination);
    // As GNOME's settings show a combination: "Super+Alt+F".
    static QString displayText(QKeyCombination combination);
    // Whether a stored accelerator, in any of the spellings GNOME reads
    // (<Primary>, <Ctrl>, <Mod1>, any case), means this combination.
    static bool means(const QString &accelerator, QKeyCombination combination);
};
