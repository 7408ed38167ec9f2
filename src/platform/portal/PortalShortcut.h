#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

// One entry of the GlobalShortcuts portal's shortcut lists, a(sa{sv}): the
// action's id and its properties ("description", "preferred_trigger" going
// out; "trigger_description" coming back).
struct PortalShortcut {
    QString id;
    QVariantMap properties;

    friend QDBusArgument &operator<<(QDBusArgument &out, const PortalShortcut &shortcut)
    {
        out.beginStructure();
        out << shortcut.id << shortcut.properties;
        out.endStructure();
        return out;
    }

    friend const QDBusArgument &operator>>(const QDBusArgument &in, PortalShortcut &shortcut)
    {
        in.beginStructure();
        in >> shortcut.id >> shortcut.properties;
        in.endStructure();
        return in;
    }
};

using PortalShortcutList = QList<PortalShortcut>;
Q_DECLARE_METATYPE(PortalShortcut)
Q_DECLARE_METATYPE(PortalShortcutList)

namespace portal {
inline constexpr QLatin1String service("org.freedesktop.portal.Desktop");
inline constexpr QLatin1String path("/org/freedesktop/portal/desktop");
inline constexpr QLatin1String shortcutsInterface("org.freedesktop.portal.GlobalShortcuts");
inline constexpr QLatin1String requestInterface("org.freedesktop.portal.Request");
inline constexpr QLatin1String sessionInterface("org.freedesktop.portal.Session");

// Registers the D-Bus types the portal's signals and lists carry; call
// before connecting to them (Qt 6.4 silently drops signals with object
// paths otherwise).
void registerTypes();

// A session handle or object path argument, which portals send as either
// an object path or a string.
QString pathOf(const QVariant &value);
} // namespace portal
