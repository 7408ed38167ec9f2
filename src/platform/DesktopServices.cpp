#include "DesktopServices.h"

#include "LatestPressTime.h"
#include "gio/GioAppLauncher.h"
#include "x11/X11Connection.h"
#include "x11/X11HotkeyService.h"
#include "x11/X11PermissionService.h"
#include "x11/X11WindowActivator.h"
#include "xdg/XdgAutostartLoginItem.h"

DesktopServices DesktopServices::forThisSession(std::function<void()> displayLost,
                                                std::function<quint32()> latestWindowInput)
{
    // Without a display the X11 backends still exist: registrations fail and
    // the permission reads as denied, which the program reports.
    auto connection = std::make_shared<X11Connection>();
    auto latestPress = std::make_shared<LatestPressTime>();
    auto hotkeys = std::make_shared<X11HotkeyService>(connection, latestPress);
    if (displayLost)
        hotkeys->installConnectionLostHandler(std::move(displayLost));

    DesktopServices services;
    services.hotkeys = hotkeys;
    services.permission = std::make_shared<X11PermissionService>(hotkeys);
    services.activator = std::make_shared<X11WindowActivator>(connection, latestPress, std::move(latestWindowInput));
    services.launcher = std::make_shared<GioAppLauncher>(latestPress);
    services.loginItem = std::make_shared<XdgAutostartLoginItem>();
    return services;
}
