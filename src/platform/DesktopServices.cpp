#include "DesktopServices.h"

#include "BusServicePermission.h"
#include "Log.h"
#include "WaylandSession.h"
#include "gio/GioAppLauncher.h"
#include "gnome/GnomeCustomShortcutService.h"
#include "logind/LogindSleepWatcher.h"
#include "kde/KGlobalAccelShortcutService.h"
#include "none/NoGlobalShortcutService.h"
#include "none/NoHotkeyPermission.h"
#include "none/NoRunningApplicationWindows.h"
#include "portal/PortalGlobalShortcutService.h"
#include "posix/RunningExecutable.h"
#include "sway/SwayHotkeyPermission.h"
#include "sway/SwayShortcutService.h"
#include "x11/X11Connection.h"
#include "x11/X11GlobalShortcutService.h"
#include "x11/X11PermissionService.h"
#include "x11/X11RunningApplicationWindows.h"
#include "x11/X11WindowActivator.h"
#include "xdg/FreedesktopNotifications.h"
#include "xdg/XdgAutostartLoginItem.h"

#include <QAbstractEventDispatcher>
#include <QDBusConnection>

namespace {
bool isDesktop(QLatin1StringView name)
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    return desktops.contains(name, Qt::CaseInsensitive);
}

QString askedBackend()
{
    return qEnvironmentVariable("VANTOREL_HOTKEYS").trimmed().toLower();
}

// The portal learns a program's app id from its first call on a connection
// (Registry.Register) and keeps it for that connection. Qt's own connection
// may already have asked the portal something (its GNOME and GTK themes read
// the portal's settings), so the shortcuts go through a connection of their
// own, where Register comes first.
QDBusConnection portalConnection()
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("vantorel-portal-shortcuts"));
}

struct HotkeyBackend {
    QString name;
    uint portalVersion = 0; // read once, for the portal only
};

// "x11", "kglobalaccel", "sway", "portal", "gnome" or "none": VANTOREL_HOTKEYS
// when it names one of them, else X11 in an X11 session; in a Wayland one
// KDE's daemon on Plasma (its portal is quirky before Plasma 6), sway's IPC
// where sway answers on SWAYSOCK, else the GlobalShortcuts portal where the
// desktop offers it, else on GNOME (41–47) GNOME's own custom shortcuts. A
// Wayland session never grabs through XWayland, which would work only while
// one of the X clients has the focus.
HotkeyBackend hotkeyBackendFor(bool wayland)
{
    static const QStringList backends{QStringLiteral("x11"), QStringLiteral("kglobalaccel"), QStringLiteral("sway"),
                                      QStringLiteral("portal"), QStringLiteral("gnome"), QStringLiteral("none")};
    const QString asked = askedBackend();
    if (asked == QLatin1String("portal"))
        return {asked, PortalGlobalShortcutService::offeredVersion(QDBusConnection::sessionBus())};
    if (backends.contains(asked))
        return {asked};
    if (!asked.isEmpty())
        Log::line(QStringLiteral("VANTOREL_HOTKEYS=%1 is not a hotkey backend here (%2); choosing by session")
                      .arg(asked, backends.join(QStringLiteral(", "))));
    if (!wayland)
        return {QStringLiteral("x11")};
    // Only now: the X11 path runs before the application, without the bus.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (isDesktop(QLatin1StringView("KDE")) && KGlobalAccelShortcutService::isOffered(bus))
        return {QStringLiteral("kglobalaccel")};
    if (SwayShortcutService::isOffered())
        return {QStringLiteral("sway")};
    if (const uint version = PortalGlobalShortcutService::offeredVersion(bus); version > 0)
        return {QStringLiteral("portal"), version};
    if (isDesktop(QLatin1StringView("GNOME")))
        return {QStringLiteral("gnome")};
    return {QStringLiteral("none")};
}
} // namespace

bool DesktopServices::startsBeforeApplication()
{
    if (isWaylandSession())
        return false;
    const QString asked = askedBackend();
    return asked != QLatin1String("kglobalaccel") && asked != QLatin1String("portal") && asked != QLatin1String("sway")
        && asked != QLatin1String("gnome");
}

DesktopServices DesktopServices::forThisSession(std::function<void()> displayLost,
                                                std::function<quint32()> latestWindowInput)
{
    const bool wayland = isWaylandSession();
    DesktopServices services;
    std::shared_ptr<X11Connection> connection;
    const HotkeyBackend backend = hotkeyBackendFor(wayland);
    const QString &hotkeys = backend.name;
    if (hotkeys == QLatin1String("kglobalaccel")) {
        services.shortcuts = std::make_shared<KGlobalAccelShortcutService>();
        services.permission = std::make_shared<BusServicePermission>(QStringLiteral("org.kde.kglobalaccel"));
    } else if (hotkeys == QLatin1String("sway")) {
        auto shortcuts = std::make_shared<SwayShortcutService>();
        services.shortcuts = shortcuts;
        services.permission = std::make_shared<SwayHotkeyPermission>(shortcuts);
    } else if (hotkeys == QLatin1String("portal")) {
        services.shortcuts
            = std::make_shared<PortalGlobalShortcutService>(portalConnection(), backend.portalVersion);
        services.permission = std::make_shared<BusServicePermission>(QStringLiteral("org.freedesktop.portal.Desktop"));
    } else if (hotkeys == QLatin1String("gnome")) {
        // The desktop runs the program itself on a press: its real path.
        services.shortcuts = std::make_shared<GnomeCustomShortcutService>(RunningExecutable::path());
        services.permission = std::make_shared<BusServicePermission>(QStringLiteral("org.gnome.SettingsDaemon.MediaKeys"));
    } else if (hotkeys == QLatin1String("x11")) {
        // Without a display the X11 backends still exist: every shortcut
        // answers "no service" and the permission reads as denied.
        connection = std::make_shared<X11Connection>();
        if (displayLost)
            connection->setDisplayLostHandler(std::move(displayLost));
        auto shortcuts = std::make_shared<X11GlobalShortcutService>(connection);
        // Made before the QCoreApplication at start-up, it reads nothing
        // until told to (see StartupPressSource).
        if (QAbstractEventDispatcher::instance())
            connection->readFromEventLoop();
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
        auto activator = std::make_shared<X11WindowActivator>(connection, std::move(latestWindowInput));
        services.activator = activator;
        services.windows = std::make_shared<X11RunningApplicationWindows>(connection, activator);
    } else {
        services.windows = std::make_shared<NoRunningApplicationWindows>();
    }
    services.launcher = std::make_shared<GioAppLauncher>();
    services.loginItem = std::make_shared<XdgAutostartLoginItem>();
    services.notifications = std::make_shared<FreedesktopNotifications>();
    return services;
}
