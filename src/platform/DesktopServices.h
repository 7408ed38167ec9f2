#pragma once

#include "AppLauncher.h"
#include "GlobalShortcutService.h"
#include "LoginItemService.h"
#include "PermissionService.h"
#include "WindowActivator.h"

#include <functional>
#include <memory>

// The desktop backends of this session, chosen at run time.
struct DesktopServices {
    std::shared_ptr<GlobalShortcutService> shortcuts;
    std::shared_ptr<AppLauncher> launcher;
    std::shared_ptr<PermissionService> permission;
    std::shared_ptr<WindowActivator> activator;
    std::shared_ptr<LoginItemService> loginItem;

    // Backends for the session the program runs in: X11 grabs in an X11
    // session, none in a Wayland one; VANTOREL_HOTKEYS=x11|none chooses. Call on
    // the main thread, with or without a QCoreApplication: made before one,
    // the shortcuts read presses once told to (serveBeforeEventLoop(),
    // serveFromEventLoop()). displayLost runs once if the
    // display server goes away while the program runs. latestWindowInput: the
    // X server time of the user's latest input to the program's own windows
    // (0 when unknown), which the window activator weighs against the time
    // of the hotkey press it is given.
    static DesktopServices forThisSession(std::function<void()> displayLost = {},
                                          std::function<quint32()> latestWindowInput = {});
};
