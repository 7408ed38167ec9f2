#include "FakeShortcutPortal.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace {
// The unique name as portals put it into handles: without ':', '.' as '_'.
QString senderPart(const QDBusMessage &message)
{
    return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
}
} // namespace

FakeShortcutPortal::FakeShortcutPortal(const QString &connectionName)
    : m_bus(connectionName)
{
    portal::registerTypes();
    m_running = m_bus.registerService(QLatin1String(portal::service))
        && m_bus.registerVirtualObject(QLatin1String(portal::path), this, QDBusConnection::SubPath);
}

FakeShortcutPortal::~FakeShortcutPortal()
{
    m_bus.unregisterObject(QLatin1String(portal::path), QDBusConnection::UnregisterTree);
    m_bus.unregisterService(QLatin1String(portal::service));
}

QString FakeShortcutPortal::introspect(const QString &) const
{
    return {};
}

bool FakeShortcutPortal::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    const QString member = message.member();
    const QVariantList args = message.arguments();
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") && member == QLatin1String("Get")
        && args.value(0).toString() == QLatin1String(portal::shortcutsInterface)
        && args.value(1).toString() == QLatin1String("version")) {
        m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(2u))));
        return true;
    }
    if (message.interface() == QLatin1String(portal::sessionInterface) && member == QLatin1String("Close")) {
        m_closedByClient << message.path();
        m_bus.send(message.createReply());
        return true;
    }
    if (message.interface() == QLatin1String("org.freedesktop.host.portal.Registry")
        && member == QLatin1String("Register") && m_registry != Registry::absent) {
        m_registeredAppIds << args.value(0).toString();
        if (m_onRegister)
            m_onRegister();
        const bool fails = m_registry == Registry::fails && m_failuresLeft != 0;
        if (fails && m_failuresLeft > 0)
            --m_failuresLeft;
        m_bus.send(fails ? message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"), m_registryError)
                         : message.createReply());
        return true;
    }
    if (message.interface() != QLatin1String(portal::shortcutsInterface))
        return false;

    if (member == QLatin1String("CreateSession")) {
        const QVariantMap options = qdbus_cast<QVariantMap>(args.value(0));
        const QString session = QStringLiteral("%1/session/%2/%3")
                                    .arg(QLatin1String(portal::path), senderPart(message),
                                         options.value(QStringLiteral("session_handle_token")).toString());
        m_sessions << session;
        respond(answerWithRequest(message, options), 0, {{QStringLiteral("session_handle"), session}});
        return true;
    }
    if (member == QLatin1String("ListShortcuts")) {
        respond(answerWithRequest(message, qdbus_cast<QVariantMap>(args.value(1))), m_listResponse,
                {{QStringLiteral("shortcuts"), QVariant::fromValue(m_listed)}});
        return true;
    }
    if (member == QLatin1String("BindShortcuts")) {
        ++m_bindCount;
        m_lastBound = qdbus_cast<PortalShortcutList>(args.value(1));
        const QString request = answerWithRequest(message, qdbus_cast<QVariantMap>(args.value(3)));
        PortalShortcutList bound = m_lastBound;
        for (PortalShortcut &shortcut : bound) {
            const QVariant trigger = m_answer == Answer::AnotherTrigger ? assignedTrigger()
                : m_answer == Answer::FailedWithShortcuts
                ? gnomeTriggerDescription()
                : shortcut.properties.value(QStringLiteral("preferred_trigger"));
            shortcut.properties = {{QStringLiteral("description"), shortcut.properties.value(QStringLiteral("description"))}};
            if (!m_leaveTriggersOut)
                shortcut.properties.insert(QStringLiteral("trigger_description"), trigger);
        }
        if (m_answer == Answer::Declined || m_answer == Answer::Failed)
            respond(request, m_answer == Answer::Declined ? 1 : 2, {});
        else
            respond(request, m_answer == Answer::FailedWithShortcuts ? 2 : 0,
                    {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
        return true;
    }
    if (member == QLatin1String("ConfigureShortcuts")) {
        ++m_configureCount;
        m_bus.send(message.createReply());
        return true;
    }
    return false;
}

void FakeShortcutPortal::setListAnswer(uint response, const PortalShortcutList &listed)
{
    m_listResponse = response;
    m_listed = listed;
}

// Replies with the request's path, made from the caller and its handle_token.
QString FakeShortcutPortal::answerWithRequest(const QDBusMessage &message, const QVariantMap &options)
{
    const QString request = QStringLiteral("%1/request/%2/%3")
                                .arg(QLatin1String(portal::path), senderPart(message),
                                     options.value(QStringLiteral("handle_token")).toString());
    m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    return request;
}

void FakeShortcutPortal::respond(const QString &requestPath, uint response, const QVariantMap &results)
{
    QDBusMessage signal = QDBusMessage::createSignal(requestPath, QLatin1String(portal::requestInterface),
                                                     QStringLiteral("Response"));
    signal << response << results;
    m_bus.send(signal);
}

void FakeShortcutPortal::activate(const QString &id, quint64 timestampMs, const QString &session)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(portal::path), QLatin1String(portal::shortcutsInterface),
                                                     QStringLiteral("Activated"));
    signal << QVariant::fromValue(QDBusObjectPath(session.isEmpty() ? latestSession() : session)) << id
           << QVariant::fromValue(timestampMs) << QVariantMap();
    m_bus.send(signal);
}

void FakeShortcutPortal::closeSession()
{
    m_bus.send(QDBusMessage::createSignal(latestSession(), QLatin1String(portal::sessionInterface),
                                          QStringLiteral("Closed")));
}
