#pragma once

#include "ScopedEnvironment.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// A private D-Bus session bus for one test binary. While it runs,
// DBUS_SESSION_BUS_ADDRESS points at it, so programs started by the test use
// it; the test process itself reaches it through connection().
class PrivateSessionBus {
public:
    // The bus starts none of the machine's services, unless named here (as
    // bus names of installed services: dconf, the accessibility bus...);
    // those it starts when asked for them, as a desktop's bus does.
    explicit PrivateSessionBus(const QStringList &activatableServices = {});
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool isRunning() const { return m_pid > 0 && !m_address.isEmpty(); }
    QString address() const { return m_address; }
    QString error() const { return m_error; }

    // The name QDBusConnection::connectToBus was given for this bus; use it
    // with QDBusConnection(name). Each call connects a new client.
    QString connect(const QString &name) const;

private:
    QTemporaryDir m_dir;
    pid_t m_pid = -1;
    QString m_address;
    QString m_error;
    ScopedEnvironment m_environment; // DBUS_SESSION_BUS_ADDRESS while it runs
};
