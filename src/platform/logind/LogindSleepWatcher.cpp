#include "platform/logind/LogindSleepWatcher.h"

#include <QDBusConnection>
#include <QTimer>

LogindSleepWatcher::LogindSleepWatcher(QObject *parent) : QObject(parent)
{
    QTimer::singleShot(0, this, &LogindSleepWatcher::listen);
}

void LogindSleepWatcher::listen()
{
    // Without a system bus or logind there is nothing to hear, and nothing to say.
    QDBusConnection::systemBus().connect(QStringLiteral("org.freedesktop.login1"),
                                         QStringLiteral("/org/freedesktop/login1"),
                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                         QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void LogindSleepWatcher::prepareForSleep(bool goingToSleep)
{
    if (!goingToSleep)
        Q_EMIT resumed();
}
