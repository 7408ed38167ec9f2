#include "PortalRequest.h"

#include "PortalShortcut.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <atomic>

PortalRequest::PortalRequest(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus) {}

QString PortalRequest::newToken()
{
    static std::atomic<quint64> next{0};
    return QStringLiteral("vantorel_%1").arg(++next);
}

void PortalRequest::call(const QString &method, const QVariantList &arguments, QVariantMap options)
{
    const QString token = newToken();
    options.insert(QStringLiteral("handle_token"), token);
    // The portal's request path: the caller's unique name without ':' and
    // with '.' as '_', then the token.
    const QString sender = m_bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    subscribe(QStringLiteral("%1/request/%2/%3").arg(QLatin1String(portal::path), sender, token));

    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(portal::service), QLatin1String(portal::path),
                                                          QLatin1String(portal::shortcutsInterface), method);
    message.setArguments(arguments + QVariantList{options});
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalRequest::onCallAnswered);
}

void PortalRequest::subscribe(const QString &path)
{
    m_path = path;
    m_bus.connect(QLatin1String(portal::service), m_path, QLatin1String(portal::requestInterface),
                  QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::unsubscribe()
{
    m_bus.disconnect(QLatin1String(portal::service), m_path, QLatin1String(portal::requestInterface),
                     QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onCallAnswered(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    if (m_done)
        return;
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        m_error = reply.error().message();
        finish(2, {});
        return;
    }
    // Portals older than the handle_token scheme put the request elsewhere.
    if (reply.value().path() != m_path) {
        unsubscribe();
        subscribe(reply.value().path());
    }
}

void PortalRequest::onResponse(uint response, const QVariantMap &results)
{
    finish(response, results);
}

void PortalRequest::finish(uint response, const QVariantMap &results)
{
    if (m_done)
        return;
    m_done = true;
    unsubscribe();
    Q_EMIT finished(response, results);
    deleteLater();
}
