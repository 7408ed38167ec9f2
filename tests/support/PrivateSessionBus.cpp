#include "PrivateSessionBus.h"

#include "AnnouncingChild.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>

#include <csignal>

namespace {
// Anyone on the bus may own any name and call anything: the fakes of the
// desktop's services and the program under test share it.
constexpr char busConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  %2
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
} // namespace

PrivateSessionBus::PrivateSessionBus(const QStringList &activatableServices)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return;
    }
    QString serviceDir;
    if (!activatableServices.isEmpty()) {
        const QString services = m_dir.filePath(QStringLiteral("services"));
        QDir().mkpath(services);
        for (const QString &name : activatableServices) {
            const QString file = name + QStringLiteral(".service");
            if (!QFile::copy(QStringLiteral("/usr/share/dbus-1/services/") + file, services + QLatin1Char('/') + file)) {
                m_error = QStringLiteral("%1 is not installed (no %2)").arg(name, file);
                return;
            }
        }
        serviceDir = QStringLiteral("<servicedir>%1</servicedir>").arg(services);
    }
    const QString configPath = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly)
        || config.write(QString::fromLatin1(busConfig).arg(m_dir.path(), serviceDir).toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write %1").arg(configPath);
        return;
    }
    config.close();

    const AnnouncingChild daemon = AnnouncingChild::start(
        {"dbus-daemon", "--config-file=" + QFile::encodeName(configPath), "--nofork", "--nopidfile", "--print-address=%fd"});
    m_pid = daemon.pid;
    if (m_pid < 0) {
        m_error = daemon.error;
        return;
    }
    m_address = QString::fromLatin1(daemon.announcement);
    m_environment.set("DBUS_SESSION_BUS_ADDRESS", daemon.announcement);
}

QString PrivateSessionBus::connect(const QString &name) const
{
    QDBusConnection::connectToBus(m_address, name);
    return name;
}

PrivateSessionBus::~PrivateSessionBus()
{
    AnnouncingChild::end(m_pid, SIGTERM);
}
