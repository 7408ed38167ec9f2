#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <utility>

// A real sway with no screen and no input devices (wlroots' headless
// backend, software rendering, no XWayland), with the session's own bus
// (busAddress(), in the runtime folder), for one test. sway refuses to
// run as root: when the test runs as root, sway and everything the test
// runs in its session run as the unprivileged user "nobody" (65534), and the
// folders they use must be handed to that user first (handOver).
class HeadlessSway {
public:
    // runtimeDir: XDG_RUNTIME_DIR of the session, a private folder the
    // session's user owns; sway's sockets appear there. environment: what
    // sway and the programs it runs see (HOME…).
    HeadlessSway(const QString &runtimeDir, const QString &configText, QProcessEnvironment environment);
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway &) = delete;
    HeadlessSway &operator=(const HeadlessSway &) = delete;

    // What the machine lacks for a session the test can type into ("… is not
    // installed"), empty when nothing.
    static QString missingTool();
    // The user the session runs as: nobody under root, else the caller.
    static uint sessionUser();
    // The command prefix that runs a program as that user (empty when the
    // caller is that user).
    static QStringList asSessionUser();
    // Gives path and everything under it to the session's user, private.
    static bool handOver(const QString &path);

    bool isRunning() const { return !m_socket.isEmpty(); }
    QString error() const { return m_error; }
    QString socketPath() const { return m_socket; }      // SWAYSOCK
    QString waylandDisplay() const { return m_display; } // WAYLAND_DISPLAY, in runtimeDir
    static QString busAddress(const QString &runtimeDir); // DBUS_SESSION_BUS_ADDRESS

    // wtype's arguments, as the session's user: {"-M", "logo", "m", "-m", "logo"}.
    bool type(const QStringList &wtypeArguments);
    // swaymsg with these arguments: its exit code and standard output.
    std::pair<int, QString> message(const QStringList &swaymsgArguments);

private:
    // The program's exit code (-1 when it did not end) and standard output.
    std::pair<int, QString> runInSession(const QStringList &command, bool withSessionEnvironment);

    QString m_runtimeDir;
    QProcess m_bus;
    QProcess m_sway;
    QString m_socket;
    QString m_display;
    QString m_error;
};
