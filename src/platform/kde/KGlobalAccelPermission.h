#pragma once

#include "PermissionService.h"

// KDE's shortcut daemon serves any program on the session bus: nothing to
// ask for. Whether each shortcut works shows in its own state.
class KGlobalAccelPermission final : public PermissionService {
public:
    bool hotkeysAllowed() const override { return true; }
    bool requestHotkeys() override { return true; }
};
