#include "DesktopServices.h"

#include "Log.h"
#include "WaylandSession.h"
#include "gio/GioAppLauncher.h"
#include "logind/LogindSleepWatcher.h"
#include "none/NoGlobalShortcutService.h"
#include "none/NoHotkeyPermission.h"
#include "none/NoRunningApplicationWindows.h"
#include "x11/X11Connection.h"
#include "x11/X11GlobalShortcutService.h"
#include "x11/X11PermissionService.h"
#include "x11/X11RunningApplicationWindows.h"
#include "x11/X11WindowActivator.h"
#include "xdg/XdgAutostartLoginItem.h"

namespace {
// "x11" or "none": VANTOREL_HOTKEYS when it names one of them, else X11 in an
// X11 session. A Wayland session never grabs through XWayland, which would
// work only while one of the X clients has the focus.
QString hotkeyBackendFor(bool wayland)
{
    const QString asked = qEnvironmentVariable("VANTOREL_HOTKEYS").trimmed().toLower();
    if (asked == QLatin1String("x11") || asked == QLatin1String("none"))
        return asked;
    if (!asked.isEmpty())
        Log::line(QStringLiteral("VANTOREL_HOTKEYS=%1 is not a hotkey backend here (x11, none); choosing by session")
                      .arg(asked));
    return wayland ? QStringLiteral("none") : QStringLiteral("x11");
}
} // namespace

DesktopServices DesktopServices::forThisSession(std::function<void()> displayLost,
                                                std::function<quint32()> latestWindowInput)
{
    const bool wayland = isWaylandSession();
    DesktopServices services;
    std::shared_ptr<X11Connection> connection;
    if (hotkeyBackendFor(wayland) == QLatin1String("x11")) {
        // Without a display the X11 backends still exist: every shortcut
        // answers "no service" and the permission reads as denied.
        connection = std::make_shared<X11Connection>();
        auto shortcuts = std::make_shared<X11GlobalShortcutService>(connection);
        if (displayLost)
            shortcuts->installConnectionLostHandler(std::move(displayLost));
        // A keyboard swapped while the machine slept sends no notice.
        auto *sleepWatcher = new LogindSleepWatcher(shortcuts.get());
        QObject::connect(sleepWatcher, &LogindSleepWatcher::resumed, shortcuts.get(),
                         &X11GlobalShortcutService::renewGrabs);
        services.shortcuts = shortcuts;
        services.permission = std::make_shared<X11PermissionService>(shortcuts);
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
        services.activator = std::make_shared<X11WindowActivator>(connection, latestWindowInput);
        services.windows = std::make_shared<X11RunningApplicationWindows>(connection, std::move(latestWindowInput));
    } else {
        services.windows = std::make_shared<NoRunningApplicationWindows>();
    }
    services.launcher = std::make_shared<GioAppLauncher>();
    services.loginItem = std::make_shared<XdgAutostartLoginItem>();
    return services;
}
