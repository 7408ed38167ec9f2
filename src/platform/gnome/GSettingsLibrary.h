#pragma once

#include <gio/gio.h>

#include <QString>

// GIO's settings API, looked up the first time a GNOME backend needs it (see
// GioModule).
class GSettingsLibrary {
public:
    // Nothing when GIO cannot be loaded; why() says why.
    static const GSettingsLibrary *get();
    static QString why();

    decltype(&g_settings_schema_source_get_default) schemaSourceGetDefault = nullptr;
    decltype(&g_settings_schema_source_lookup) schemaSourceLookup = nullptr;
    decltype(&g_settings_schema_unref) schemaUnref = nullptr;
    decltype(&g_settings_schema_list_keys) schemaListKeys = nullptr;
    decltype(&g_settings_schema_has_key) schemaHasKey = nullptr;
    decltype(&g_settings_schema_get_key) schemaGetKey = nullptr;
    decltype(&g_settings_schema_key_get_summary) schemaKeyGetSummary = nullptr;
    decltype(&g_settings_schema_key_get_value_type) schemaKeyGetValueType = nullptr;
    decltype(&g_settings_schema_key_unref) schemaKeyUnref = nullptr;
    decltype(&g_settings_new_full) settingsNewFull = nullptr;
    decltype(&g_settings_get_strv) settingsGetStrv = nullptr;
    decltype(&g_settings_set_strv) settingsSetStrv = nullptr;
    decltype(&g_settings_get_string) settingsGetString = nullptr;
    decltype(&g_settings_set_string) settingsSetString = nullptr;
    decltype(&g_settings_reset) settingsReset = nullptr;
    decltype(&g_settings_delay) settingsDelay = nullptr;
    decltype(&g_settings_apply) settingsApply = nullptr;
    decltype(&g_settings_sync) settingsSync = nullptr;
    decltype(&g_variant_type_equal) variantTypeEqual = nullptr;
    decltype(&g_signal_connect_data) signalConnectData = nullptr;
    decltype(&g_signal_handler_disconnect) signalHandlerDisconnect = nullptr;
    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_strfreev) strfreev = nullptr;
    decltype(&g_free) free = nullptr;
};
