#pragma once

#include "PermissionService.h"
#include "SwayShortcutService.h"

#include <memory>

// sway binds what it is asked over its IPC without asking the user: hotkeys
// are allowed while that connection stands.
class SwayHotkeyPermission final : public PermissionService {
public:
    explicit SwayHotkeyPermission(std::shared_ptr<const SwayShortcutService> shortcuts)
        : m_shortcuts(std::move(shortcuts))
    {
    }

    bool hotkeysAllowed() const override { return m_shortcuts->isConnected(); }
    bool requestHotkeys() override { return hotkeysAllowed(); }

private:
    std::shared_ptr<const SwayShortcutService> m_shortcuts;
};
