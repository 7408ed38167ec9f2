#include "platform/DesktopServices.h"

#include "model/Log.h"
#include "platform/WaylandSession.h"
#include "platform/gio/GioAppLauncher.h"
#include "platform/gnome/GnomeCustomShortcutService.h"
#include "platform/kde/KGlobalAccelShortcutService.h"
#include "platform/logind/LogindSleepWatcher.h"
#include "platform/none/NoGlobalShortcutService.h"
#include "platform/none/NoRunningApplicationWindows.h"
#include "platform/portal/PortalGlobalShortcutService.h"
#include "platform/posix/RunningExecutable.h"
#include "platform/sway/SwayShortcutService.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11GlobalShortcutService.h"
#include "platform/x11/X11RunningApplicationWindows.h"
#include "platform/x11/X11WindowActivator.h"
#include "platform/xdg/FreedesktopNotifications.h"
#include "platform/xdg/XdgAutostartLoginItem.h"

#include <QAbstractEventDispatcher>
#include <QDBusConnection>

#include <optional>

namespace {
bool isDesktop(QLatin1StringView name)
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    return desktops.contains(name, Qt::CaseInsensitive);
}

// VANTOREL_HOTKEYS's words for the backends, in HotkeyBackend's order.
const QStringList backendWords{QStringLiteral("x11"),    QStringLiteral("kglobalaccel"), QStringLiteral("sway"),
                               QStringLiteral("portal"), QStringLiteral("gnome"),        QStringLiteral("none")};

QString askedWord()
{
    return qEnvironmentVariable("VANTOREL_HOTKEYS").trimmed().toLower();
}

// The backend VANTOREL_HOTKEYS names; nothing when it names none.
std::optional<HotkeyBackend> askedBackend()
{
    const qsizetype index = backendWords.indexOf(askedWord());
    return index < 0 ? std::nullopt : std::optional(HotkeyBackend(index));
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

struct BackendChoice {
    HotkeyBackend backend;
    uint portalVersion = 0; // read once, for the portal only
};

// The backend VANTOREL_HOTKEYS names, else X11 in an X11 session; in a Wayland one
// KDE's daemon on Plasma (its portal is quirky before Plasma 6), sway's IPC
// where sway answers on SWAYSOCK, else the GlobalShortcuts portal where the
// desktop offers it, else on GNOME (41–47) GNOME's own custom shortcuts. A
// Wayland session never grabs through XWayland, which would work only while
// one of the X clients has the focus.
BackendChoice hotkeyBackendFor(bool wayland)
{
    if (const std::optional<HotkeyBackend> asked = askedBackend()) {
        if (*asked == HotkeyBackend::Portal)
            return {*asked, PortalGlobalShortcutService::offeredVersion(QDBusConnection::sessionBus())};
        return {*asked};
    }
    if (const QString asked = askedWord(); !asked.isEmpty())
        Log::line(QStringLiteral("VANTOREL_HOTKEYS=%1 is not a hotkey backend here (%2); choosing by session")
                      .arg(asked, backendWords.join(QStringLiteral(", "))));
    if (!wayland)
        return {HotkeyBackend::X11};
    // Only now: the X11 path runs before the application, without the bus.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (isDesktop(QLatin1StringView("KDE")) && KGlobalAccelShortcutService::isOffered(bus))
        return {HotkeyBackend::KGlobalAccel};
    if (SwayShortcutService::isOffered())
        return {HotkeyBackend::Sway};
    if (const uint version = PortalGlobalShortcutService::offeredVersion(bus); version > 0)
        return {HotkeyBackend::Portal, version};
    if (isDesktop(QLatin1StringView("GNOME")))
        return {HotkeyBackend::Gnome};
    return {HotkeyBackend::None};
}
} // namespace

bool DesktopServices::startsBeforeApplication()
{
    if (isWaylandSession())
        return false;
    const std::optional<HotkeyBackend> asked = askedBackend();
    return !asked || *asked == HotkeyBackend::X11 || *asked == HotkeyBackend::None;
}

DesktopServices DesktopServices::forThisSession(std::function<void()> displayLost,
                                                std::function<quint32()> latestWindowInput)
{
    const bool wayland = isWaylandSession();
    DesktopServices services;
    std::shared_ptr<X11Connection> connection;
    const BackendChoice choice = hotkeyBackendFor(wayland);
    switch (choice.backend) {
    case HotkeyBackend::KGlobalAccel:
        services.shortcuts = std::make_shared<KGlobalAccelShortcutService>();
        break;
    case HotkeyBackend::Sway:
        services.shortcuts = std::make_shared<SwayShortcutService>();
        break;
    case HotkeyBackend::Portal:
        services.shortcuts = std::make_shared<PortalGlobalShortcutService>(portalConnection(), choice.portalVersion);
        break;
    case HotkeyBackend::Gnome:
        // The desktop runs the program itself on a press: its real path.
        services.shortcuts = std::make_shared<GnomeCustomShortcutService>(RunningExecutable::path());
        break;
    case HotkeyBackend::X11: {
        // Without a display the X11 backends still exist: every shortcut
        // answers "no service", which the service's problem says.
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
        break;
    }
    case HotkeyBackend::None:
        services.shortcuts = std::make_shared<NoGlobalShortcutService>(
            wayland ? QStringLiteral("This Wayland session offers Vantorel no global shortcuts.")
                    : QStringLiteral("Global shortcuts are off (VANTOREL_HOTKEYS=none)."));
        break;
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
