#pragma once

#include "platform/DesktopNotifications.h"

#include <QDBusConnection>

// The freedesktop.org notification service (org.freedesktop.Notifications
// on the session bus), which GNOME, Plasma, Xfce and the stand-alone
// notification daemons offer. Without it on the bus, nothing is shown.
class FreedesktopNotifications final : public DesktopNotifications {
public:
    static const QString service;

    explicit FreedesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus());

    void notify(const QString &summary, const QString &body) override;

private:
    QDBusConnection m_bus;
};
