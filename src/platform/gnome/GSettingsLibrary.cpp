#include "platform/gnome/GSettingsLibrary.h"

#include "platform/gio/GioModule.h"

const GSettingsLibrary *GSettingsLibrary::get()
{
    static const GSettingsLibrary *const library = []() -> const GSettingsLibrary * {
        static GSettingsLibrary gio;
        const bool complete = GioModule::resolve("g_settings_schema_source_get_default", gio.schemaSourceGetDefault)
            && GioModule::resolve("g_settings_schema_source_lookup", gio.schemaSourceLookup)
            && GioModule::resolve("g_settings_schema_unref", gio.schemaUnref)
            && GioModule::resolve("g_settings_schema_list_keys", gio.schemaListKeys)
            && GioModule::resolve("g_settings_schema_has_key", gio.schemaHasKey)
            && GioModule::resolve("g_settings_schema_get_key", gio.schemaGetKey)
            && GioModule::resolve("g_settings_schema_key_get_summary", gio.schemaKeyGetSummary)
            && GioModule::resolve("g_settings_schema_key_get_value_type", gio.schemaKeyGetValueType)
            && GioModule::resolve("g_settings_schema_key_unref", gio.schemaKeyUnref)
            && GioModule::resolve("g_settings_new_full", gio.settingsNewFull)
            && GioModule::resolve("g_settings_get_strv", gio.settingsGetStrv)
            && GioModule::resolve("g_settings_set_strv", gio.settingsSetStrv)
            && GioModule::resolve("g_settings_get_string", gio.settingsGetString)
            && GioModule::resolve("g_settings_set_string", gio.settingsSetString)
            && GioModule::resolve("g_settings_reset", gio.settingsReset)
            && GioModule::resolve("g_settings_delay", gio.settingsDelay)
            && GioModule::resolve("g_settings_apply", gio.settingsApply)
            && GioModule::resolve("g_settings_sync", gio.settingsSync)
            && GioModule::resolve("g_variant_type_equal", gio.variantTypeEqual)
            && GioModule::resolve("g_signal_connect_data", gio.signalConnectData)
            && GioModule::resolve("g_signal_handler_disconnect", gio.signalHandlerDisconnect)
            && GioModule::resolve("g_object_unref", gio.objectUnref)
            && GioModule::resolve("g_strfreev", gio.strfreev)
            && GioModule::resolve("g_free", gio.free);
        return complete ? &gio : nullptr;
    }();
    return library;
}

QString GSettingsLibrary::why()
{
    return GioModule::error();
}
