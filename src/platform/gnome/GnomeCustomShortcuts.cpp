#include "platform/gnome/GnomeCustomShortcuts.h"

#include "model/Log.h"
#include "platform/gnome/GSettingsLibrary.h"

namespace {
constexpr QLatin1StringView basePath("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");
constexpr QLatin1StringView ourPrefix("vantorel-");

QStringList fromStrv(const GSettingsLibrary &gio, gchar **strv)
{
    QStringList list;
    for (gchar **item = strv; item && *item; ++item)
        list.append(QString::fromUtf8(*item));
    gio.strfreev(strv);
    return list;
}

QString takeString(const GSettingsLibrary &gio, gchar *text)
{
    QString result = QString::fromUtf8(text);
    gio.free(text);
    return result;
}
} // namespace

GnomeCustomShortcuts::GnomeCustomShortcuts()
{
    const GSettingsLibrary *gio = GSettingsLibrary::get();
    if (!gio) {
        m_why = QStringLiteral("GIO cannot be loaded: ") + GSettingsLibrary::why();
        return;
    }
    GSettingsSchemaSource *source = gio->schemaSourceGetDefault();
    GSettingsSchema *listSchema = source ? gio->schemaSourceLookup(source, listSchemaId, TRUE) : nullptr;
    m_entrySchema = source ? gio->schemaSourceLookup(source, entrySchemaId, TRUE) : nullptr;
    if (!listSchema || !m_entrySchema || !gio->schemaHasKey(listSchema, listKey)) {
        m_why = QStringLiteral("GNOME's custom shortcuts are not installed here (no GSettings schema %1)")
                    .arg(QLatin1String(listSchemaId));
        if (listSchema)
            gio->schemaUnref(listSchema);
        return;
    }
    m_list = gio->settingsNewFull(listSchema, nullptr, nullptr);
    gio->schemaUnref(listSchema);
}

GnomeCustomShortcuts::~GnomeCustomShortcuts()
{
    const GSettingsLibrary *gio = GSettingsLibrary::get();
    if (!gio)
        return;
    if (m_list) {
        if (m_handler)
            gio->signalHandlerDisconnect(m_list, m_handler);
        gio->objectUnref(m_list);
    }
    if (m_entrySchema)
        gio->schemaUnref(m_entrySchema);
}

QString GnomeCustomShortcuts::pathOf(const QString &actionId)
{
    return basePath + ourPrefix + actionId + QLatin1Char('/');
}

std::optional<QString> GnomeCustomShortcuts::actionIdOf(const QString &path)
{
    const QString prefix = basePath + ourPrefix;
    if (!path.startsWith(prefix))
        return std::nullopt;
    QString id = path.mid(prefix.size());
    if (id.endsWith(QLatin1Char('/')))
        id.chop(1);
    if (id.isEmpty() || id.contains(QLatin1Char('/')))
        return std::nullopt;
    return id;
}

QStringList GnomeCustomShortcuts::paths() const
{
    if (!m_list)
        return {};
    const GSettingsLibrary &gio = *GSettingsLibrary::get();
    return fromStrv(gio, gio.settingsGetStrv(m_list, listKey));
}

QStringList GnomeCustomShortcuts::ourActionIds() const
{
    QStringList ids;
    for (const QString &path : paths()) {
        if (const std::optional<QString> id = actionIdOf(path))
            ids.append(*id);
    }
    return ids;
}

GSettings *GnomeCustomShortcuts::entrySettings(const QString &path) const
{
    if (!m_list)
        return nullptr;
    QString fullPath = path;
    if (!fullPath.endsWith(QLatin1Char('/')))
        fullPath += QLatin1Char('/');
    // GSettings aborts on a malformed path: check what GIO checks.
    if (!fullPath.startsWith(QLatin1Char('/')) || fullPath.contains(QLatin1String("//")))
        return nullptr;
    return GSettingsLibrary::get()->settingsNewFull(m_entrySchema, nullptr, fullPath.toUtf8().constData());
}

std::optional<GnomeCustomShortcuts::Entry> GnomeCustomShortcuts::entryAt(const QString &path) const
{
    GSettings *settings = entrySettings(path);
    if (!settings)
        return std::nullopt;
    const GSettingsLibrary &gio = *GSettingsLibrary::get();
    Entry entry{takeString(gio, gio.settingsGetString(settings, "name")),
                takeString(gio, gio.settingsGetString(settings, "command")),
                takeString(gio, gio.settingsGetString(settings, "binding"))};
    gio.objectUnref(settings);
    return entry;
}

bool GnomeCustomShortcuts::put(const QString &actionId, const Entry &entry)
{
    const QString path = pathOf(actionId);
    if (paths().contains(path) && entryAt(path) == entry)
        return true; // a write would make gsd-media-keys grab the keys again
    GSettings *settings = entrySettings(path);
    if (!settings) {
        Log::line(QStringLiteral("❌ GNOME: cannot write the custom shortcut at %1").arg(path));
        return false;
    }
    const GSettingsLibrary &gio = *GSettingsLibrary::get();
    // The three keys reach gsd-media-keys as one change.
    gio.settingsDelay(settings);
    const bool written = gio.settingsSetString(settings, "name", entry.name.toUtf8().constData())
        && gio.settingsSetString(settings, "command", entry.command.toUtf8().constData())
        && gio.settingsSetString(settings, "binding", entry.binding.toUtf8().constData());
    if (written)
        gio.settingsApply(settings);
    gio.objectUnref(settings);
    if (!written) {
        Log::line(QStringLiteral("❌ GNOME: the custom shortcut at %1 is not writable").arg(path));
        return false;
    }
    return editList([&path](QStringList &list) {
        if (!list.contains(path))
            list.append(path);
    });
}

bool GnomeCustomShortcuts::remove(const QString &actionId)
{
    const QString path = pathOf(actionId);
    const bool listed = editList([&path](QStringList &list) {
        // Also a copy of the path that lost its slash.
        list.removeIf([&path](const QString &item) { return item == path || item + QLatin1Char('/') == path; });
    });
    if (!listed)
        return false;
    GSettings *settings = entrySettings(path);
    if (!settings)
        return false;
    const GSettingsLibrary &gio = *GSettingsLibrary::get();
    for (const char *key : {"name", "command", "binding"})
        gio.settingsReset(settings, key);
    gio.objectUnref(settings);
    return true;
}

void GnomeCustomShortcuts::removeAllOurs()
{
    for (const QString &id : ourActionIds())
        remove(id);
}

void GnomeCustomShortcuts::flush()
{
    if (const GSettingsLibrary *gio = GSettingsLibrary::get(); gio && m_list)
        gio->settingsSync();
}

bool GnomeCustomShortcuts::editList(const std::function<void(QStringList &)> &change)
{
    if (!m_list)
        return false;
    const QStringList before = paths();
    QStringList after = before;
    change(after);
    for (QString &path : after) {
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
    }
    if (after == before)
        return true;
    QList<QByteArray> utf8;
    utf8.reserve(after.size());
    for (const QString &path : std::as_const(after))
        utf8.append(path.toUtf8());
    std::vector<const gchar *> strv;
    strv.reserve(utf8.size() + 1);
    for (const QByteArray &path : std::as_const(utf8))
        strv.push_back(path.constData());
    strv.push_back(nullptr);
    if (!GSettingsLibrary::get()->settingsSetStrv(m_list, listKey, strv.data())) {
        Log::line(QStringLiteral("❌ GNOME: the list of custom shortcuts is not writable"));
        return false;
    }
    return true;
}

void GnomeCustomShortcuts::watchList(std::function<void()> changed)
{
    m_changed = std::move(changed);
    if (!m_list || m_handler)
        return;
    const QByteArray signal = QByteArrayLiteral("changed::") + listKey;
    m_handler = GSettingsLibrary::get()->signalConnectData(m_list, signal.constData(),
                                                           G_CALLBACK(&GnomeCustomShortcuts::listChanged), this,
                                                           nullptr, GConnectFlags(0));
}

void GnomeCustomShortcuts::listChanged(GSettings *, const char *, void *self)
{
    auto *shortcuts = static_cast<GnomeCustomShortcuts *>(self);
    if (shortcuts->m_changed)
        shortcuts->m_changed();
}
