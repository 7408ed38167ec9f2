#pragma once

#include <QKeyCombination>
#include <QString>

// A combination in the XDG shortcuts format the portal's preferred_trigger
// takes: the modifiers, then the key's XKB keysym name, joined with '+'
// ("LOGO+ALT+f").
class PortalTrigger {
public:
    // Empty when the key has no keysym: the desktop then picks or asks.
    static QString fromCombination(QKeyCombination combination);

    // What a desktop says a shortcut is bound to (trigger_description), as a
    // button shows it. GNOME writes a sentence around a GTK accelerator
    // ("Press <Alt><Super>f"), shown as the accelerator in the usual form
    // ("Alt+Super+F"); other desktops' text ("Meta+Alt+F") stays as it is.
    static QString describe(const QString &triggerDescription);
};
