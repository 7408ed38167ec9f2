#pragma once

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <QString>

// GIO's desktop-entry launching, looked up the first time it is needed (see
// GioModule).
class GioLibrary {
public:
    // Nothing when GIO cannot be loaded; why() says why.
    static const GioLibrary *get();
    static QString why();

    decltype(&g_desktop_app_info_new_from_filename) desktopAppInfoNewFromFilename = nullptr;
    decltype(&g_app_launch_context_new) appLaunchContextNew = nullptr;
    decltype(&g_app_launch_context_setenv) appLaunchContextSetenv = nullptr;
    decltype(&g_app_launch_context_unsetenv) appLaunchContextUnsetenv = nullptr;
    decltype(&g_app_info_launch) appInfoLaunch = nullptr;
    decltype(&g_desktop_app_info_get_startup_wm_class) desktopAppInfoGetStartupWmClass = nullptr;
    decltype(&g_app_info_get_executable) appInfoGetExecutable = nullptr;
    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_error_free) errorFree = nullptr;
};
