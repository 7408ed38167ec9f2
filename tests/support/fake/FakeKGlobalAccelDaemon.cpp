#include "FakeKGlobalAccelDaemon.h"

#include <QDBusMetaType>
#include <QMutexLocker>
#include <QRegularExpression>

#include <algorithm>

namespace {
constexpr uint setPresent = 2;
}

QString FakeKGlobalAccelDaemon::componentPath(const QString &componentUnique)
{
    QString name = componentUnique;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    return QStringLiteral("/component/") + name;
}

QString FakeKGlobalAccelDaemon::keyOf(const QStringList &actionId)
{
    return actionId.value(0) + QLatin1Char('/') + actionId.value(1);
}

void FakeKGlobalAccelDaemon::registerDBusTypes()
{
    qDBusRegisterMetaType<Holder>();
    qDBusRegisterMetaType<QList<Holder>>();
    qDBusRegisterMetaType<MatchType>();
}

void FakeKGlobalAccelDaemon::hold(int keys, const Holder &holder)
{
    const QMutexLocker lock(&m_mutex);
    m_held.insert(keys, holder);
}

void FakeKGlobalAccelDaemon::forget()
{
    const QMutexLocker lock(&m_mutex);
    m_components.clear();
    m_actions.clear();
}

QStringList FakeKGlobalAccelDaemon::components() const
{
    const QMutexLocker lock(&m_mutex);
    QStringList names(m_components.cbegin(), m_components.cend());
    names.sort();
    return names;
}

QStringList FakeKGlobalAccelDaemon::registered() const
{
    const QMutexLocker lock(&m_mutex);
    QStringList keys = m_actions.keys();
    keys.sort();
    return keys;
}

std::optional<FakeKGlobalAccelDaemon::Action> FakeKGlobalAccelDaemon::action(const QString &component,
                                                                             const QString &actionUnique) const
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_actions.constFind(component + QLatin1Char('/') + actionUnique);
    if (found == m_actions.constEnd())
        return std::nullopt;
    return *found;
}

void FakeKGlobalAccelDaemon::doRegister(const QStringList &actionId)
{
    if (actionId.size() != 4) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("an action id has four strings"));
        return;
    }
    const QMutexLocker lock(&m_mutex);
    m_components.insert(actionId.at(0));
    // As the daemon does: a registered action takes a new friendly name
    // (a renamed button, another language); an empty one changes nothing.
    Action &action = m_actions[keyOf(actionId)];
    if (!actionId.at(3).isEmpty())
        action.friendlyName = actionId.at(3);
}

QList<KGlobalAccelKeys> FakeKGlobalAccelDaemon::setShortcutKeys(const QStringList &actionId,
                                                                const QList<KGlobalAccelKeys> &keys, uint flags)
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_actions.find(keyOf(actionId));
    if (found == m_actions.end())
        return {};
    const int wanted = keys.isEmpty() ? 0 : keys.first().first();
    if (m_held.contains(wanted))
        return {KGlobalAccelKeys{}};
    found->keys = wanted;
    found->active = (flags & setPresent) != 0;
    return {KGlobalAccelKeys::of(QKeyCombination::fromCombined(wanted))};
}

bool FakeKGlobalAccelDaemon::unregister(const QString &componentUnique, const QString &shortcutUnique)
{
    const QMutexLocker lock(&m_mutex);
    return m_actions.remove(componentUnique + QLatin1Char('/') + shortcutUnique);
}

void FakeKGlobalAccelDaemon::setInactive(const QStringList &actionId)
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_actions.find(keyOf(actionId));
    if (found != m_actions.end())
        found->active = false;
}

QDBusObjectPath FakeKGlobalAccelDaemon::getComponent(const QString &componentUnique)
{
    const QMutexLocker lock(&m_mutex);
    if (!m_components.contains(componentUnique)) {
        sendErrorReply(QStringLiteral("org.kde.kglobalaccel.NoSuchComponent"),
                       QStringLiteral("The component '%1' doesn't exist.").arg(componentUnique));
        return {};
    }
    return QDBusObjectPath(componentPath(componentUnique));
}

QList<FakeKGlobalAccelDaemon::Holder> FakeKGlobalAccelDaemon::globalShortcutsByKey(const KGlobalAccelKeys &key,
                                                                                  const MatchType &)
{
    const QMutexLocker lock(&m_mutex);
    const auto held = m_held.constFind(key.first());
    if (held == m_held.constEnd())
        return {};
    return {*held};
}

QDBusArgument &operator<<(QDBusArgument &argument, const FakeKGlobalAccelDaemon::Holder &holder)
{
    argument.beginStructure();
    argument << holder.action.toLower() << holder.action << holder.component.toLower() << holder.component
             << QStringLiteral("default") << QStringLiteral("Default Context");
    argument << QList<int>{holder.keys} << QList<int>{holder.keys};
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, FakeKGlobalAccelDaemon::Holder &holder)
{
    QString context, contextName, componentId, actionId;
    QList<int> keys, defaultKeys;
    argument.beginStructure();
    argument >> actionId >> holder.action >> componentId >> holder.component >> context >> contextName >> keys
        >> defaultKeys;
    argument.endStructure();
    holder.keys = keys.value(0);
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const FakeKGlobalAccelDaemon::MatchType &type)
{
    argument.beginStructure();
    argument << type.value;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, FakeKGlobalAccelDaemon::MatchType &type)
{
    argument.beginStructure();
    argument >> type.value;
    argument.endStructure();
    return argument;
}
