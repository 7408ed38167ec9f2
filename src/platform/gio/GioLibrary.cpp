#include "GioLibrary.h"

#include <dlfcn.h>

namespace {
QString &loadError()
{
    static QString error;
    return error;
}

template<typename Function>
bool resolve(void *handle, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    if (!function)
        loadError() = QStringLiteral("GIO has no %1").arg(QLatin1String(name));
    return function != nullptr;
}
} // namespace

const GioLibrary *GioLibrary::get()
{
    static const GioLibrary *const library = []() -> const GioLibrary * {
        // Loaded for the rest of the run; never closed.
        void *handle = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            loadError() = QString::fromLocal8Bit(::dlerror());
            return nullptr;
        }
        static GioLibrary gio;
        const bool complete = resolve(handle, "g_desktop_app_info_new_from_filename", gio.desktopAppInfoNewFromFilename)
            && resolve(handle, "g_app_launch_context_new", gio.appLaunchContextNew)
            && resolve(handle, "g_app_launch_context_setenv", gio.appLaunchContextSetenv)
            && resolve(handle, "g_app_launch_context_unsetenv", gio.appLaunchContextUnsetenv)
            && resolve(handle, "g_app_info_launch", gio.appInfoLaunch)
            && resolve(handle, "g_desktop_app_info_get_startup_wm_class", gio.desktopAppInfoGetStartupWmClass)
            && resolve(handle, "g_app_info_get_executable", gio.appInfoGetExecutable)
            && resolve(handle, "g_object_unref", gio.objectUnref)
            && resolve(handle, "g_error_free", gio.errorFree);
        return complete ? &gio : nullptr;
    }();
    return library;
}

QString GioLibrary::why()
{
    return loadError();
}
