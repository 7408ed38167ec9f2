#include "HeadlessSway.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uint nobody = 65534;
constexpr int startTimeoutMs = 15000;
constexpr int commandTimeoutMs = 10000;
} // namespace

QString HeadlessSway::missingTool()
{
    QStringList programs{QStringLiteral("sway"), QStringLiteral("swaymsg"), QStringLiteral("wtype"),
                         QStringLiteral("dbus-daemon")};
    if (::geteuid() == 0)
        programs << QStringLiteral("setpriv");
    for (const QString &program : std::as_const(programs)) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return program + QStringLiteral(" is not installed (scripts/install-deps.sh)");
    }
    return QString();
}

uint HeadlessSway::sessionUser()
{
    return ::geteuid() == 0 ? nobody : ::geteuid();
}

QStringList HeadlessSway::asSessionUser()
{
    if (::geteuid() != 0)
        return {};
    return {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(nobody), QStringLiteral("--regid=%1").arg(nobody),
            QStringLiteral("--clear-groups"), QStringLiteral("--")};
}

bool HeadlessSway::handOver(const QString &path)
{
    const uint user = sessionUser();
    bool ok = ::lchown(QFile::encodeName(path).constData(), user, user) == 0
        && ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
    QDirIterator entries(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        ok = ::lchown(QFile::encodeName(entries.next()).constData(), user, user) == 0 && ok;
    return ok;
}

HeadlessSway::HeadlessSway(const QString &runtimeDir, const QString &configText, QProcessEnvironment environment)
    : m_runtimeDir(runtimeDir)
{
    const QString config = QDir(runtimeDir).filePath(QStringLiteral("sway.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(configText.toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write ") + config;
        return;
    }
    file.close();
    if (!handOver(runtimeDir)) {
        m_error = QStringLiteral("cannot hand %1 to the session's user").arg(runtimeDir);
        return;
    }
    const QStringList bus = asSessionUser() + QStringList{QStringLiteral("dbus-daemon"), QStringLiteral("--session"),
                                                          QStringLiteral("--nofork"), QStringLiteral("--address=") + busAddress(runtimeDir)};
    m_bus.start(bus.first(), bus.mid(1));
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "I3SOCK"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress(runtimeDir));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    m_sway.setProcessEnvironment(environment);
    m_sway.setWorkingDirectory(runtimeDir);
    // A file, not a pipe: nothing reads a pipe while a test waits elsewhere.
    m_sway.setProcessChannelMode(QProcess::MergedChannels);
    m_sway.setStandardOutputFile(QDir(runtimeDir).filePath(QStringLiteral("sway.log")));
    const QStringList command = asSessionUser() + QStringList{QStringLiteral("sway"), QStringLiteral("-c"), config};
    m_sway.start(command.first(), command.mid(1));
    if (!m_sway.waitForStarted(startTimeoutMs)) {
        m_error = QStringLiteral("sway did not start: ") + m_sway.errorString();
        return;
    }

    // Its sockets appear in the runtime folder once it is ready.
    const QDeadlineTimer deadline(startTimeoutMs);
    const QDir dir(runtimeDir);
    while (!deadline.hasExpired() && m_sway.state() == QProcess::Running) {
        const QStringList ipc = dir.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        // wayland-0 to wayland-9, not their .lock files.
        const QStringList displays = dir.entryList({QStringLiteral("wayland-?")}, QDir::System);
        if (!ipc.isEmpty() && !displays.isEmpty() && dir.exists(QStringLiteral("bus"))) {
            m_socket = dir.filePath(ipc.constFirst());
            m_display = displays.constFirst();
            return;
        }
        QThread::msleep(50);
    }
    QFile log(dir.filePath(QStringLiteral("sway.log")));
    m_error = QStringLiteral("sway did not come up: ")
        + (log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll().right(2000)) : QString());
}

QString HeadlessSway::busAddress(const QString &runtimeDir)
{
    return QStringLiteral("unix:path=") + QDir(runtimeDir).filePath(QStringLiteral("bus"));
}

HeadlessSway::~HeadlessSway()
{
    for (QProcess *process : {&m_sway, &m_bus}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(commandTimeoutMs))
            process->kill();
        process->waitForFinished(commandTimeoutMs);
    }
}

std::pair<int, QString> HeadlessSway::runInSession(const QStringList &command, bool withSessionEnvironment)
{
    QProcess process;
    if (withSessionEnvironment) {
        QProcessEnvironment environment = m_sway.processEnvironment();
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_display);
        environment.insert(QStringLiteral("SWAYSOCK"), m_socket);
        process.setProcessEnvironment(environment);
    }
    const QStringList asUser = asSessionUser() + command;
    process.start(asUser.first(), asUser.mid(1));
    if (!process.waitForFinished(commandTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {-1, {}};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput())};
}

bool HeadlessSway::type(const QStringList &wtypeArguments)
{
    return runInSession(QStringList{QStringLiteral("wtype")} + wtypeArguments, true).first == 0;
}

std::pair<int, QString> HeadlessSway::message(const QStringList &swaymsgArguments)
{
    return runInSession(QStringList{QStringLiteral("swaymsg"), QStringLiteral("-s"), m_socket} + swaymsgArguments, false);
}
