#include "GSettingsLibrary.h"

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

const GSettingsLibrary *GSettingsLibrary::get()
{
    static const GSettingsLibrary *const library = []() -> const GSettingsLibrary * {
        // Loaded for the rest of the run; never closed. GObject's and GLib's
        // functions come through it too: GIO depends on both.
        void *handle = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            loadError() = QString::fromLocal8Bit(::dlerror());
            return nullptr;
        }
        static GSettingsLibrary gio;
        const bool complete = resolve(handle, "g_settings_schema_source_get_default", gio.schemaSourceGetDefault)
            && resolve(handle, "g_settings_schema_source_lookup", gio.schemaSourceLookup)
            && resolve(handle, "g_settings_schema_unref", gio.schemaUnref)
            && resolve(handle, "g_settings_schema_list_keys", gio.schemaListKeys)
            && resolve(handle, "g_settings_schema_has_key", gio.schemaHasKey)
            && resolve(handle, "g_settings_schema_get_key", gio.schemaGetKey)
            && resolve(handle, "g_settings_schema_key_get_summary", gio.schemaKeyGetSummary)
            && resolve(handle, "g_settings_schema_key_get_value_type", gio.schemaKeyGetValueType)
            && resolve(handle, "g_settings_schema_key_unref", gio.schemaKeyUnref)
            && resolve(handle, "g_settings_new_full", gio.settingsNewFull)
            && resolve(handle, "g_settings_get_strv", gio.settingsGetStrv)
            && resolve(handle, "g_settings_set_strv", gio.settingsSetStrv)
            && resolve(handle, "g_settings_get_string", gio.settingsGetString)
            && resolve(handle, "g_settings_set_string", gio.settingsSetString)
            && resolve(handle, "g_settings_reset", gio.settingsReset)
            && resolve(handle, "g_settings_delay", gio.settingsDelay)
            && resolve(handle, "g_settings_apply", gio.settingsApply)
            && resolve(handle, "g_settings_sync", gio.settingsSync)
            && resolve(handle, "g_variant_type_equal", gio.variantTypeEqual)
            && resolve(handle, "g_signal_connect_data", gio.signalConnectData)
            && resolve(handle, "g_signal_handler_disconnect", gio.signalHandlerDisconnect)
            && resolve(handle, "g_object_unref", gio.objectUnref)
            && resolve(handle, "g_strfreev", gio.strfreev)
            && resolve(handle, "g_free", gio.free);
        return complete ? &gio : nullptr;
    }();
    return library;
}

QString GSettingsLibrary::why()
{
    return loadError();
}
