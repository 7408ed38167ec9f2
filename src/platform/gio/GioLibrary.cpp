#include "platform/gio/GioLibrary.h"

#include "platform/gio/GioModule.h"

const GioLibrary *GioLibrary::get()
{
    static const GioLibrary *const library = []() -> const GioLibrary * {
        static GioLibrary gio;
        const bool complete = GioModule::resolve("g_desktop_app_info_new_from_filename", gio.desktopAppInfoNewFromFilename)
            && GioModule::resolve("g_app_launch_context_new", gio.appLaunchContextNew)
            && GioModule::resolve("g_app_launch_context_setenv", gio.appLaunchContextSetenv)
            && GioModule::resolve("g_app_launch_context_unsetenv", gio.appLaunchContextUnsetenv)
            && GioModule::resolve("g_app_info_launch", gio.appInfoLaunch)
            && GioModule::resolve("g_desktop_app_info_get_startup_wm_class", gio.desktopAppInfoGetStartupWmClass)
            && GioModule::resolve("g_app_info_get_executable", gio.appInfoGetExecutable)
            && GioModule::resolve("g_object_unref", gio.objectUnref)
            && GioModule::resolve("g_error_free", gio.errorFree);
        return complete ? &gio : nullptr;
    }();
    return library;
}

QString GioLibrary::why()
{
    return GioModule::error();
}
