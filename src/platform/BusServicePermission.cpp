#include "BusServicePermission.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

BusServicePermission::BusServicePermission(QString serviceName) : m_serviceName(std::move(serviceName)) {}

bool BusServicePermission::hotkeysAllowed() const
{
    const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(m_serviceName).value();
}
