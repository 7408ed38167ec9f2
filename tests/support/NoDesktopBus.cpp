#include "NoDesktopBus.h"

#include <QFile>

NoDesktopBus::NoDesktopBus()
{
    // Never created: connecting fails at once, and an address that is set
    // is never replaced by an autolaunched bus.
    const QByteArray address = "unix:path=" + QFile::encodeName(m_dir.filePath(QStringLiteral("no-bus")));
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
}
