#include "GnomeHeadlessSession.h"

#include "EventLoopWait.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace {
constexpr int startTimeoutMs = 60000; // the shell renders with llvmpipe on a busy machine
const QString portalFrontend = QStringLiteral("/usr/libexec/xdg-desktop-portal");
const QString portalBackend = QStringLiteral("/usr/libexec/xdg-desktop-portal-gnome");
const QString mediaKeys = QStringLiteral("/usr/libexec/gsd-media-keys");
const QString gnomePortalFile = QStringLiteral("/usr/share/xdg-desktop-portal/portals/gnome.portal");
const QString shortcutDialogService =
    QStringLiteral("/usr/share/dbus-1/services/org.gnome.Settings.GlobalShortcutsProvider.service");

QString tail(const QString &path, int lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QStringList all = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    return all.mid(qMax(0, all.size() - lines)).join(QLatin1Char('\n'));
}

bool callSucceeds(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage;
}
} // namespace

int GnomeHeadlessSession::shellVersion()
{
    QProcess shell;
    shell.start(QStringLiteral("gnome-shell"), {QStringLiteral("--version")});
    if (!shell.waitForFinished(10000))
        return 0;
    const QRegularExpressionMatch version =
        QRegularExpression(QStringLiteral("GNOME Shell (\\d+)")).match(QString::fromUtf8(shell.readAllStandardOutput()));
    return version.hasMatch() ? version.captured(1).toInt() : 0;
}

QString GnomeHeadlessSession::missingPiece(Keys keys)
{
    QStringList programs{QStringLiteral("gnome-shell"), QStringLiteral("dbus-daemon"), QStringLiteral("python3"),
                         QStringLiteral("gsettings")};
    programs << (keys == Keys::customShortcuts ? QStringList{mediaKeys} : QStringList{portalFrontend, portalBackend});
    for (const QString &program : std::as_const(programs)) {
        if (QStandardPaths::findExecutable(program).isEmpty()) // on PATH, or where an absolute path says
            return QStringLiteral("%1 is not installed").arg(program);
    }
    if (keys == Keys::customShortcuts)
        return QString();
    QFile portal(gnomePortalFile);
    if (!portal.open(QIODevice::ReadOnly) || !portal.readAll().contains("org.freedesktop.impl.portal.GlobalShortcuts"))
        return QStringLiteral("%1 offers no global shortcuts").arg(gnomePortalFile);
    if (!QFileInfo::exists(shortcutDialogService))
        return QStringLiteral("GNOME Settings' shortcut dialog (%1) is not installed").arg(shortcutDialogService);
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import gi; gi.require_version('Atspi', '2.0'); from gi.repository import Atspi")});
    if (!python.waitForFinished(10000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return QStringLiteral("python3 cannot use the accessibility library (python3-gi, gir1.2-atspi-2.0)");
    return QString();
}

GnomeHeadlessSession::GnomeHeadlessSession(Keys keys, const QStringList &environment)
{
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const QString runtime = m_dir.filePath(QStringLiteral("run"));
    QDir().mkpath(home + QStringLiteral("/.config"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // gnome-shell gives up without a system bus where logind's seats folder exists.
    m_systemBus = std::make_unique<PrivateSessionBus>();
    // Only the helpers the session needs, started the way a desktop's bus starts them: dconf (GNOME
    // stores the shortcuts there); for the portal also the accessibility bus, GNOME Settings'
    // shortcut dialog and the portals' permission store. Nothing else of the machine's (online
    // accounts, file indexers...).
    QStringList helpers{QStringLiteral("ca.desrt.dconf")};
    if (keys == Keys::portal)
        helpers << QStringLiteral("org.a11y.Bus") << QStringLiteral("org.gnome.Settings.GlobalShortcutsProvider")
                << QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
    m_sessionBus = std::make_unique<PrivateSessionBus>(helpers);
    if (!m_systemBus->isRunning() || !m_sessionBus->isRunning()) {
        m_error = QStringLiteral("no private bus: %1%2").arg(m_systemBus->error(), m_sessionBus->error());
        return;
    }
    m_busName = m_sessionBus->connect(QStringLiteral("gnome-headless-session"));

    m_environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE"})
        m_environment.remove(QString::fromLatin1(name));
    m_environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    m_environment.insert(QStringLiteral("HOME"), home);
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    m_environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
    m_environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("dconf"));
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_sessionBus->address());
    m_environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_systemBus->address());
    // The shell takes the first free name in its own runtime folder.
    m_environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    for (const QString &variable : environment)
        m_environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));

    // Services the bus starts (dconf, the accessibility bus, the shortcut dialog) get the
    // session's environment, not the one the bus daemon was started with.
    QDBusMessage update = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
    qDBusRegisterMetaType<QMap<QString, QString>>();
    QMap<QString, QString> variables;
    for (const QString &name : m_environment.keys())
        variables.insert(name, m_environment.value(name));
    update << QVariant::fromValue(variables);
    if (!callSucceeds(bus().call(update))) {
        m_error = QStringLiteral("the private session bus does not take an activation environment");
        return;
    }

    if (!startProcess({QStringLiteral("gnome-shell"), QStringLiteral("--headless"), QStringLiteral("--wayland"),
                       QStringLiteral("--no-x11"), QStringLiteral("--virtual-monitor"), QStringLiteral("1280x800"),
                       QStringLiteral("--unsafe-mode")}, QStringLiteral("org.gnome.Shell"))
        || !waitForName(QStringLiteral("org.gnome.Mutter.RemoteDesktop")))
        return;
    if (!QFileInfo::exists(runtime + QStringLiteral("/wayland-0"))) {
        m_error = QStringLiteral("gnome-shell made no wayland-0 in its runtime folder\n") + logs();
        return;
    }
    if (keys == Keys::customShortcuts) {
        if (startProcess({mediaKeys}, QStringLiteral("org.gnome.SettingsDaemon.MediaKeys")))
            runEventLoopUntil([] { return false; }, 1000); // it grabs the keys after taking its name
        return;
    }
    if (startProcess({portalBackend}, QStringLiteral("org.freedesktop.impl.portal.desktop.gnome")))
        startProcess({portalFrontend}, QStringLiteral("org.freedesktop.portal.Desktop"));
}

GnomeHeadlessSession::~GnomeHeadlessSession()
{
    for (auto process = m_processes.rbegin(); process != m_processes.rend(); ++process) {
        (*process)->terminate();
        if (!(*process)->waitForFinished(5000)) {
            (*process)->kill();
            (*process)->waitForFinished(5000);
        }
    }
    m_processes.clear();
    if (!m_busName.isEmpty())
        QDBusConnection::disconnectFromBus(m_busName);
    m_sessionBus.reset(); // the helpers the bus started end with it
    m_systemBus.reset();
}

bool GnomeHeadlessSession::startProcess(const QStringList &command, const QString &busName)
{
    const QString log = m_dir.filePath(QFileInfo(command.first()).fileName() + QStringLiteral(".log"));
    m_logFiles.append(log);
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(log);
    process->start(command.first(), command.mid(1));
    const bool started = process->waitForStarted(startTimeoutMs);
    m_processes.push_back(std::move(process));
    if (!started) {
        m_error = QStringLiteral("%1 did not start").arg(command.first());
        return false;
    }
    return waitForName(busName);
}

bool GnomeHeadlessSession::waitForName(const QString &busName)
{
    const QDBusConnection connection = bus();
    if (runEventLoopUntil([&] { return connection.interface()->isServiceRegistered(busName).value(); },
                          startTimeoutMs))
        return true;
    m_error = QStringLiteral("%1 did not appear on the session bus\n").arg(busName) + logs();
    return false;
}

bool GnomeHeadlessSession::hideOverview()
{
    QDBusMessage eval = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                                       QStringLiteral("org.gnome.Shell"), QStringLiteral("Eval"));
    eval << QStringLiteral("Main.overview.hide(); true");
    const QDBusMessage reply = bus().call(eval);
    return callSucceeds(reply) && !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool();
}

bool GnomeHeadlessSession::press(const QList<quint32> &keysyms)
{
    const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
    const QDBusMessage created = bus().call(QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), service, QStringLiteral("CreateSession")));
    if (!callSucceeds(created) || created.arguments().isEmpty())
        return false;
    const QString session = created.arguments().constFirst().value<QDBusObjectPath>().path();
    const QString sessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
    const auto call = [&](const QString &method, const QVariantList &arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, session, sessionInterface, method);
        message.setArguments(arguments);
        return callSucceeds(bus().call(message));
    };
    bool pressed = call(QStringLiteral("Start"));
    QThread::msleep(300); // the virtual keyboard needs a moment before its first key
    for (const quint32 keysym : keysyms)
        pressed = pressed && call(QStringLiteral("NotifyKeyboardKeysym"), {keysym, true});
    for (auto keysym = keysyms.crbegin(); keysym != keysyms.crend(); ++keysym)
        pressed = call(QStringLiteral("NotifyKeyboardKeysym"), {*keysym, false}) && pressed;
    QThread::msleep(200);
    call(QStringLiteral("Stop"));
    return pressed;
}

bool GnomeHeadlessSession::pressAccessibleButton(const QString &name, int timeoutMs,
                                                 const std::function<bool()> &giveUp, QString *transcript)
{
    QProcess python;
    python.setProcessEnvironment(m_environment);
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral("python3"), {QStringLiteral(VANTOREL_PRESS_ACCESSIBLE_BUTTON), name,
                                              QString::number(timeoutMs / 1000)});
    runEventLoopUntil([&] { return python.state() == QProcess::NotRunning || giveUp(); }, timeoutMs + 10000);
    if (python.state() != QProcess::NotRunning) {
        python.kill();
        python.waitForFinished();
    }
    if (transcript)
        *transcript = QString::fromUtf8(python.readAll());
    return python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
}

QString GnomeHeadlessSession::logs()
{
    QString text;
    for (const QString &log : std::as_const(m_logFiles))
        text += QStringLiteral("--- %1 (end):\n%2\n").arg(QFileInfo(log).fileName(), tail(log, 25));
    return text;
}
