#include "DesktopServices.h"

#include "gio/GioAppLauncher.h"
#include "x11/X11Connection.h"
#include "x11/X11GlobalShortcutService.h"
#include "x11/X11PermissionService.h"
#include "x11/X11WindowActivator.h"
#include "xdg/XdgAutostartLoginItem.h"

DesktopServices DesktopServices::forThisSession(std::function<void()> displayLost,
                                                std::function<quint32()> latestWindowInput)
{
    // Without a display the X11 backends still exist: every shortcut answers
    // "no service" and the permission reads as denied, which the program reports.
    auto connection = std::make_shared<X11Connection>();
    auto shortcuts = std::make_shared<X11GlobalShortcutService>(connection);
    if (displayLost)
        shortcuts->installConnectionLostHandler(std::move(displayLost));

    DesktopServices services;
    services.shortcuts = shortcuts;
    services.permission = std::make_shared<X11PermissionService>(shortcuts);
    services.activator = std::make_shared<X11WindowActivator>(connection, std::move(latestWindowInput));
    services.launcher = std::make_shared<GioAppLauncher>();
    services.loginItem = std::make_shared<XdgAutostartLoginItem>();
    return services;
}
