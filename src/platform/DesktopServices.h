#pragma once

#include "platform/AppLauncher.h"
#include "platform/DesktopNotifications.h"
#include "platform/GlobalShortcutService.h"
#include "platform/LoginItemService.h"
#include "platform/RunningApplicationWindows.h"
#include "platform/WindowActivator.h"

#include <functional>
#include <memory>

// The desktop backends of this session, chosen at run time.
struct DesktopServices {
    std::shared_ptr<GlobalShortcutService> shortcuts;
    std::shared_ptr<AppLauncher> launcher;
    std::shared_ptr<WindowActivator> activator;
    std::shared_ptr<RunningApplicationWindows> windows;
    std::shared_ptr<LoginItemService> loginItem;
    std::shared_ptr<DesktopNotifications> notifications;

    // Backends for the session the program runs in: X11 grabs in an X11
    // session; in a Wayland one KDE's shortcut daemon on Plasma, sway's IPC
    // in a sway session, else the GlobalShortcuts portal where the desktop
    // offers it, else on GNOME its custom shortcuts, else none;
    // VANTOREL_HOTKEYS=x11|kglobalaccel|sway|portal|gnome|none chooses. Call on the main
    // thread; without a QCoreApplication only where startsBeforeApplication()
    // says so: made before one, the shortcuts read presses once told to
    // (see StartupPressSource). displayLost runs once if the
    // display server goes away while the program runs. latestWindowInput: the
    // X server time of the user's latest input to the program's own windows
    // (0 when unknown), which the window activator weighs against the time
    // of the hotkey press it is given. Other programs' windows are found in
    // an X11 session only; a Wayland compositor keeps them to itself.
    // Whether this session's backends may be made before the QCoreApplication:
    // X11 grabs may, the desktop's D-Bus services need the application.
    static bool startsBeforeApplication();

    static DesktopServices forThisSession(std::function<void()> displayLost = {},
                                          std::function<quint32()> latestWindowInput = {});
};
