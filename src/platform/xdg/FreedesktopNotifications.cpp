#include "platform/xdg/FreedesktopNotifications.h"

#include "model/Log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QVariantMap>

const QString FreedesktopNotifications::service = QStringLiteral("org.freedesktop.Notifications");

namespace {
bool serviceReachable(const QDBusConnection &bus)
{
    const QDBusConnectionInterface *busInterface = bus.interface();
    if (!busInterface)
        return false;
    if (busInterface->isServiceRegistered(FreedesktopNotifications::service))
        return true;
    // A stand-alone daemon may start on the first message.
    const QDBusReply<QStringList> activatable = busInterface->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(FreedesktopNotifications::service);
}
} // namespace

FreedesktopNotifications::FreedesktopNotifications(QDBusConnection bus) : m_bus(std::move(bus)) {}

void FreedesktopNotifications::notify(const QString &summary, const QString &body)
{
    const QDBusConnection &bus = m_bus;
    if (!bus.isConnected() || !serviceReachable(bus))
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                                      service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral(VANTOREL_APP_ID)},
                            {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
    call << QStringLiteral("Vantorel") << quint32(0) << QString() << summary << body << QStringList() << hints
         << qint32(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        if (finished->isError())
            Log::line(QStringLiteral("Notifications: the desktop did not show the message: ")
                      + finished->error().message());
    });
}
