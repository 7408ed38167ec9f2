#include "EventLoopWait.h"
#include "LogCapture.h"
#include "PrivateSessionBus.h"
#include "platform/xdg/FreedesktopNotifications.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <gtest/gtest.h>

// A notification daemon on a private bus, as GNOME's or dunst would be.
class FakeNotificationDaemon : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        QString application;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QList<Shown> shown;

public Q_SLOTS:
    uint Notify(const QString &appName, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        shown.append({appName, summary, body, hints});
        return uint(shown.size());
    }
};

namespace {
QString connectionName(const char *role)
{
    static int count = 0;
    return QStringLiteral("notifications-%1-%2").arg(QLatin1String(role)).arg(++count);
}

TEST(FreedesktopNotificationsTest, TheDaemonShowsTheMessageAndWithoutOneNothingHappens)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    LogCapture log;
    FreedesktopNotifications notifications(QDBusConnection(bus.connect(connectionName("program"))));

    // No daemon on the bus: nothing is shown, nothing is said.
    notifications.notify(QStringLiteral("unseen"), QStringLiteral("nobody listens"));
    runEventLoopUntil([] { return false; }, 300);
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();

    FakeNotificationDaemon daemon;
    QDBusConnection daemonBus(bus.connect(connectionName("daemon")));
    ASSERT_TRUE(daemonBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &daemon,
                                         QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(daemonBus.registerService(FreedesktopNotifications::service));
    notifications.notify(QStringLiteral("“Terminal” did not start"), QStringLiteral("no such file"));
    ASSERT_TRUE(runEventLoopUntil([&] { return !daemon.shown.isEmpty(); }, 5000));
    ASSERT_EQ(daemon.shown.size(), 1);
    EXPECT_EQ(daemon.shown.at(0).application, QStringLiteral("Vantorel"));
    EXPECT_EQ(daemon.shown.at(0).summary, QStringLiteral("“Terminal” did not start"));
    EXPECT_EQ(daemon.shown.at(0).body, QStringLiteral("no such file"));
    EXPECT_FALSE(daemon.shown.at(0).hints.value(QStringLiteral("desktop-entry")).toString().isEmpty());
}
} // namespace

#include "FreedesktopNotificationsTest.moc"
