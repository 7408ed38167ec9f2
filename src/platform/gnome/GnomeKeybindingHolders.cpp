#include "platform/gnome/GnomeKeybindingHolders.h"

#include "platform/gnome/GSettingsLibrary.h"
#include "platform/gnome/GnomeAccelerator.h"
#include "platform/gnome/GnomeCustomShortcuts.h"

namespace {
// The list of custom shortcuts is no keybinding.
bool isCustomList(const char *schemaId, const char *key)
{
    return qstrcmp(schemaId, GnomeCustomShortcuts::listSchemaId) == 0
        && qstrcmp(key, GnomeCustomShortcuts::listKey) == 0;
}
} // namespace

const QList<const char *> &GnomeKeybindingHolders::schemaIds()
{
    static const QList<const char *> ids{"org.gnome.desktop.wm.keybindings", "org.gnome.shell.keybindings",
                                         "org.gnome.mutter.keybindings", "org.gnome.mutter.wayland.keybindings",
                                         GnomeCustomShortcuts::listSchemaId};
    return ids;
}

GnomeKeybindingHolders::GnomeKeybindingHolders(const GnomeCustomShortcuts &customShortcuts)
    : m_customShortcuts(customShortcuts)
{
    const GSettingsLibrary *gio = GSettingsLibrary::get();
    GSettingsSchemaSource *source = gio ? gio->schemaSourceGetDefault() : nullptr;
    if (!source)
        return;
    for (const char *id : schemaIds()) {
        if (GSettingsSchema *schema = gio->schemaSourceLookup(source, id, TRUE))
            m_schemas.append({id, schema, gio->settingsNewFull(schema, nullptr, nullptr)});
    }
}

GnomeKeybindingHolders::~GnomeKeybindingHolders()
{
    const GSettingsLibrary *gio = GSettingsLibrary::get();
    for (const Schema &schema : std::as_const(m_schemas)) {
        gio->objectUnref(schema.settings);
        gio->schemaUnref(schema.schema);
    }
}

std::optional<QString> GnomeKeybindingHolders::holderOf(QKeyCombination combination) const
{
    const QString shown = GnomeAccelerator::displayText(combination);
    for (const Schema &schema : m_schemas) {
        if (std::optional<QString> summary = summaryOfHolder(schema, combination))
            return QStringLiteral("%1 is GNOME's %2").arg(shown, *summary);
    }
    for (const QString &path : m_customShortcuts.paths()) {
        if (GnomeCustomShortcuts::actionIdOf(path))
            continue;
        const std::optional<GnomeCustomShortcuts::Entry> entry = m_customShortcuts.entryAt(path);
        if (entry && GnomeAccelerator::means(entry->binding, combination))
            return QStringLiteral("%1 is the custom shortcut “%2” in GNOME's keyboard settings").arg(shown, entry->name);
    }
    return std::nullopt;
}

std::optional<QString> GnomeKeybindingHolders::summaryOfHolder(const Schema &schema,
                                                               QKeyCombination combination) const
{
    const GSettingsLibrary &gio = *GSettingsLibrary::get();
    std::optional<QString> holder;
    gchar **keys = gio.schemaListKeys(schema.schema);
    for (gchar **key = keys; key && *key && !holder; ++key) {
        GSettingsSchemaKey *schemaKey = gio.schemaGetKey(schema.schema, *key);
        const GVariantType *type = gio.schemaKeyGetValueType(schemaKey);
        QStringList accelerators;
        if (isCustomList(schema.id, *key)) {
            // looked at entry by entry in holderOf()
        } else if (gio.variantTypeEqual(type, G_VARIANT_TYPE_STRING_ARRAY)) {
            gchar **values = gio.settingsGetStrv(schema.settings, *key);
            for (gchar **value = values; value && *value; ++value)
                accelerators.append(QString::fromUtf8(*value));
            gio.strfreev(values);
        } else if (gio.variantTypeEqual(type, G_VARIANT_TYPE_STRING)) {
            gchar *value = gio.settingsGetString(schema.settings, *key);
            accelerators.append(QString::fromUtf8(value));
            gio.free(value);
        }
        for (const QString &accelerator : std::as_const(accelerators)) {
            if (GnomeAccelerator::means(accelerator, combination)) {
                const gchar *summary = gio.schemaKeyGetSummary(schemaKey);
                holder = summary && *summary ? QString::fromUtf8(summary) : QString::fromUtf8(*key);
                break;
            }
        }
        gio.schemaKeyUnref(schemaKey);
    }
    gio.strfreev(keys);
    return holder;
}
