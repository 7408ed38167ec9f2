#pragma once

#include "PermissionService.h"

// The portal asks the user itself, in its own dialog, when shortcuts are
// bound: there is nothing to ask beforehand.
class PortalPermission final : public PermissionService {
public:
    bool hotkeysAllowed() const override { return true; }
    bool requestHotkeys() override { return true; }
};
