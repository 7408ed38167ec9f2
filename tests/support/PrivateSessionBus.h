#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

// A private D-Bus session bus for one test binary. While it runs,
// DBUS_SESSION_BUS_ADDRESS points at it, so programs started by the test use
// it; the test process itself reaches it through connection().
class PrivateSessionBus {
public:
    // Whether the bus starts the services installed on the machine when
    // asked for them (dconf, the accessibility bus...), as a desktop's does.
    enum class Activation { None, InstalledServices };

    explicit PrivateSessionBus(Activation activation = Activation::None);
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
    QByteArray m_previousAddress;
};
