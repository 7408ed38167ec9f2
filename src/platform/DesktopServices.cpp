#include "DesktopServices.h"

#include "Log.h"
#include "WaylandSession.h"
#include "gio/GioAppLauncher.h"
#include "none/NoGlobalShortcutService.h"
#include "none/NoHotkeyPermission.h"
#include "portal/PortalGlobalShortcutService.h"
#include "portal/PortalPermission.h"
#include "x11/X11Connection.h"
#include "x11/X11GlobalShortcutService.h"
#include "x11/X11PermissionService.h"
#include "x11/X11WindowActivator.h"
#include "xdg/XdgAutostartLoginItem.h"

#include <QDBusConnection>

namespace {
// "x11", "portal" or "none": VANTOREL_HOTKEYS when it names one of them, else
// X11 in an X11 session, and the GlobalShortcuts portal in a Wayland session
// whose desktop offers it. A Wayland session never grabs through XWayland,
// which would work only while one of the X clients has the focus.
QString hotkeyBackendFor(bool wayland)
{
    const QString asked = qEnvironmentVariable("VANTOREL_HOTKEYS").trimmed().toLower();
    if (asked == QLatin1String("x11") || asked == QLatin1String("portal") || asked == QLatin1String("none"))
        return asked;
    if (!asked.isEmpty())
        Log::line(QStringLiteral("VANTOREL_HOTKEYS=%1 is not a hotkey backend here (x11, portal, none); choosing by session")
                      .arg(asked));
    if (!wayland)
        return QStringLiteral("x11");
    return PortalGlobalShortcutService::offeredVersion(QDBusConnection::sessionBus()) > 0 ? QStringLiteral("portal")
                                                                                           : QStringLiteral("none");
}
} // namespace

DesktopServices DesktopServices::forThisSession(std::function<void()> displayLost,
                                                std::function<quint32()> latestWindowInput)
{
    const bool wayland = isWaylandSession();
    DesktopServices services;
    std::shared_ptr<X11Connection> connection;
    const QString backend = hotkeyBackendFor(wayland);
    if (backend == QLatin1String("x11")) {
        // Without a display the X11 backends still exist: every shortcut
        // answers "no service" and the permission reads as denied.
        connection = std::make_shared<X11Connection>();
        auto shortcuts = std::make_shared<X11GlobalShortcutService>(connection);
        if (displayLost)
            shortcuts->installConnectionLostHandler(std::move(displayLost));
        services.shortcuts = shortcuts;
        services.permission = std::make_shared<X11PermissionService>(shortcuts);
    } else if (backend == QLatin1String("portal")) {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        services.shortcuts = std::make_shared<PortalGlobalShortcutService>(
            bus, PortalGlobalShortcutService::offeredVersion(bus));
        services.permission = std::make_shared<PortalPermission>();
    } else {
        services.shortcuts = std::make_shared<NoGlobalShortcutService>(
            wayland ? QStringLiteral("This Wayland session offers Vantorel no global shortcuts.")
                    : QStringLiteral("Global shortcuts are off (VANTOREL_HOTKEYS=none)."));
        services.permission = std::make_shared<NoHotkeyPermission>();
    }
    // Under Wayland the program's windows are no X windows: Qt activates them.
    if (!wayland) {
        if (!connection)
            connection = std::make_shared<X11Connection>();
        services.activator = std::make_shared<X11WindowActivator>(connection, std::move(latestWindowInput));
    }
    services.launcher = std::make_shared<GioAppLauncher>();
    services.loginItem = std::make_shared<XdgAutostartLoginItem>();
    return services;
}
