#include "KdeShortcutDaemon.h"

#include "EventLoopWait.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QStandardPaths>

namespace {
const QString name = QStringLiteral("org.kde.kglobalaccel");
} // namespace

QString KdeShortcutDaemon::program()
{
    const QString kf5 = QStandardPaths::findExecutable(QStringLiteral("kglobalaccel5"));
    if (!kf5.isEmpty())
        return kf5;
    QStringList libexec{QStringLiteral("/usr/libexec")};
    for (const QString &multiarch : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        libexec.prepend(QStringLiteral("/usr/lib/") + multiarch + QStringLiteral("/libexec"));
    return QStandardPaths::findExecutable(QStringLiteral("kglobalacceld"), libexec);
}

KdeShortcutDaemon::KdeShortcutDaemon(const QString &display, const QString &platform) : m_run(display, platform)
{
    QProcessEnvironment &environment = m_run.environment();
    if (display.isEmpty())
        environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // Plasma 6's daemon does nothing in a Wayland session, where KWin holds the shortcuts.
    environment.remove(QStringLiteral("XDG_SESSION_TYPE"));
    // No crash handler: it would start the daemon again when the test ends it.
    environment.insert(QStringLiteral("KDE_DEBUG"), QStringLiteral("1"));
    environment.insert(QStringLiteral("KGLOBALACCEL_TEST_MODE"), QStringLiteral("1")); // no kglobalshortcutsrc
}

bool KdeShortcutDaemon::start(const QDBusConnection &bus)
{
    // It takes its name before it has set up its objects: wait for an answer.
    const QDBusMessage call = QDBusMessage::createMethodCall(name, QStringLiteral("/kglobalaccel"),
                                                             QStringLiteral("org.kde.KGlobalAccel"),
                                                             QStringLiteral("allComponents"));
    return m_run.start({program()}) && runEventLoopUntil([&] {
               return bus.call(call).type() == QDBusMessage::ReplyMessage;
           }, ProgramRun::timeoutMs);
}

bool KdeShortcutDaemon::kill(const QDBusConnection &bus)
{
    m_run.process().kill();
    return m_run.process().waitForFinished(ProgramRun::timeoutMs)
        && runEventLoopUntil([&] { return !bus.interface()->isServiceRegistered(name).value(); },
                             ProgramRun::timeoutMs);
}
