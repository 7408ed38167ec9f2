#pragma once

#include "PermissionService.h"

// Where no global shortcut service exists there is nothing to allow or ask for.
class NoHotkeyPermission final : public PermissionService {
public:
    bool hotkeysAllowed() const override { return false; }
    bool requestHotkeys() override { return false; }
};
