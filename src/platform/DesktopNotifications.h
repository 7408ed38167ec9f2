#pragma once

#include <QString>

// Short messages in the desktop's notification area.
class DesktopNotifications {
public:
    virtual ~DesktopNotifications() = default;

    // Shows the message; does nothing where the desktop shows none.
    virtual void notify(const QString &summary, const QString &body) = 0;
};
