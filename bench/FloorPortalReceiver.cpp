// The portal benchmark's floor: the least a program can do to launch a
// target when the GlobalShortcuts portal reports an activation. One QtDBus
// connection to the session bus, subscribed to Activated; on each one for
// its id it starts the target as a launcher does (posix_spawn, see
// launchLikeALauncher) and nothing else.
//
//   floor_portal_receiver TARGET ID

#include "BenchProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <cstdio>
#include <sys/wait.h>

namespace {
class Receiver : public QObject {
    Q_OBJECT

public:
    Receiver(QByteArray target, QString id) : m_target(std::move(target)), m_id(std::move(id)) {}

public Q_SLOTS:
    void onActivated(const QDBusMessage &message)
    {
        if (message.arguments().value(1).toString() != m_id)
            return;
        launchLikeALauncher(m_target.constData());
        // Reaping comes after the launch, out of its way.
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }

private:
    QByteArray m_target;
    QString m_id;
};
} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor_portal_receiver TARGET ID\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    Receiver receiver(argv[1], QString::fromLocal8Bit(argv[2]));
    if (!QDBusConnection::sessionBus().connect(QString(), QStringLiteral("/org/freedesktop/portal/desktop"),
                                               QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
                                               QStringLiteral("Activated"), &receiver,
                                               SLOT(onActivated(QDBusMessage))))
        return 1;
    return app.exec();
}

#include "FloorPortalReceiver.moc"
