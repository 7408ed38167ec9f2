#pragma once

#include "PermissionService.h"

#include <memory>

class X11GlobalShortcutService;

// X11 has no permission to ask for: a client connected to the server may
// grab keys. What can be missing is the X connection itself, or a real X
// session: under Wayland an X client only sees keys while one of its own
// windows has the focus, so global hotkeys count as not allowed there.
class X11PermissionService final : public PermissionService {
public:
    explicit X11PermissionService(std::shared_ptr<const X11GlobalShortcutService> hotkeys);

    bool hotkeysAllowed() const override;
    // Nothing to prompt for; answers as hotkeysAllowed().
    bool requestHotkeys() override;

private:
    std::shared_ptr<const X11GlobalShortcutService> m_hotkeys;
};
