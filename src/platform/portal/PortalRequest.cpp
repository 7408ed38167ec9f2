#include "platform/portal/PortalRequest.h"

#include "platform/portal/PortalRequestProxy.h"
#include "platform/portal/PortalShortcut.h"

#include <QDBusPendingCallWatcher>

#include <atomic>

PortalRequest::PortalRequest(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus) {}

QString PortalRequest::newToken()
{
    static std::atomic<quint64> next{0};
    return QStringLiteral("vantorel_%1").arg(++next);
}

QVariantMap PortalRequest::expect(QVariantMap options)
{
    const QString token = newToken();
    options.insert(QStringLiteral("handle_token"), token);
    // The portal's request path: the caller's unique name without ':' and
    // with '.' as '_', then the token.
    const QString sender = m_bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    subscribe(QStringLiteral("%1/request/%2/%3").arg(portal::path, sender, token));
    return options;
}

void PortalRequest::watch(const QDBusPendingReply<QDBusObjectPath> &call)
{
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalRequest::onCallAnswered);
}

void PortalRequest::subscribe(const QString &path)
{
    delete m_request;
    m_request = new PortalRequestProxy(portal::service, path, m_bus, this);
    connect(m_request, &PortalRequestProxy::Response, this, &PortalRequest::finish);
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
    if (reply.value().path() != m_request->path())
        subscribe(reply.value().path());
}

void PortalRequest::finish(uint response, const QVariantMap &results)
{
    if (m_done)
        return;
    m_done = true;
    m_request->disconnect(this);
    Q_EMIT finished(response, results);
    deleteLater();
}
