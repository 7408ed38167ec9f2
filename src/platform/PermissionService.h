#pragma once

// Whether this program can receive global hotkeys in the current session.
class PermissionService {
public:
    virtual ~PermissionService() = default;

    // Never shows anything to the user.
    virtual bool hotkeysAllowed() const = 0;

    // Invites the user to allow global hotkeys where the desktop has such a
    // request; returns whether they are allowed now.
    virtual bool requestHotkeys() = 0;
};
