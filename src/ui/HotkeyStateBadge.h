#pragma once

#include "platform/GlobalShortcutService.h"

#include <QIcon>
#include <QString>

// The small symbol before a row's shortcut, saying whether its hotkey works,
// and the words behind it.
class HotkeyStateBadge {
public:
    static QIcon icon(ShortcutState::Kind kind);
    static QString toolTip(const ShortcutState &state);
};
