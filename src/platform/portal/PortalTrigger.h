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
};
