#include "X11PermissionService.h"

#include "WaylandSession.h"
#include "X11GlobalShortcutService.h"

#include <QtGlobal>

X11PermissionService::X11PermissionService(std::shared_ptr<const X11GlobalShortcutService> hotkeys)
    : m_hotkeys(std::move(hotkeys))
{
}

bool X11PermissionService::hotkeysAllowed() const
{
    return m_hotkeys->isConnected() && !isWaylandSession();
}

bool X11PermissionService::requestHotkeys()
{
    return hotkeysAllowed();
}
