#pragma once

#include "PrivateSessionBus.h"

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

// A real GNOME session without a display, for one test: gnome-shell headless on Wayland with a
// virtual monitor, then what binds a session's global keys, started by hand (there is no
// gnome-session): gsd-media-keys for GNOME's custom shortcuts, or xdg-desktop-portal-gnome and
// xdg-desktop-portal for the portal's. A private session bus starts only the helpers it needs
// (dconf, the accessibility bus, GNOME Settings' shortcut dialog); a private empty system bus.
// HOME, the config home and the runtime folder are the session's own; GNOME speaks English
// (C.UTF-8) whatever the machine's language. Everything ends with the object.
class GnomeHeadlessSession {
public:
    enum class Keys {
        customShortcuts, // GNOME's custom shortcuts (GNOME 43 on), which gsd-media-keys binds
        portal,          // the GlobalShortcuts portal (GNOME 48 on), with GNOME Settings' dialog
    };

    // The major version of the installed gnome-shell, 0 without one.
    static int shellVersion();
    // Why this machine cannot run such a session, or empty: a program, a Python module or the
    // portal's shortcuts are missing.
    static QString missingPiece(Keys keys);

    // environment: "NAME=value" for the session's programs (gsd-media-keys passes it on).
    explicit GnomeHeadlessSession(Keys keys, const QStringList &environment = {});
    ~GnomeHeadlessSession();
    GnomeHeadlessSession(const GnomeHeadlessSession &) = delete;
    GnomeHeadlessSession &operator=(const GnomeHeadlessSession &) = delete;

    bool isRunning() const { return m_error.isEmpty(); }
    QString error() const { return m_error; } // with the end of the logs that tell why

    // The environment of a program of this session (its HOME too: the portal finds the
    // desktop entries of the session's user there).
    QProcessEnvironment environment() const { return m_environment; }
    QDBusConnection bus() const { return QDBusConnection(m_busName); }

    // Leaves the overview the shell starts in (through org.gnome.Shell.Eval, which --unsafe-mode
    // allows): keys go to the desktop's shortcuts then.
    bool hideOverview();
    // Presses the keys in order and releases them in reverse, through mutter's RemoteDesktop
    // virtual keyboard, as a user's keyboard would.
    bool press(const QList<quint32> &keysyms);
    // Runs the first action of the push button called name in any window of the session, found
    // over the accessibility bus; waits up to timeoutMs for it to appear, unless giveUp() holds
    // first. transcript gets what the search saw.
    bool pressAccessibleButton(const QString &name, int timeoutMs, const std::function<bool()> &giveUp,
                               QString *transcript);

    QString logs(); // the ends of the session's logs

private:
    // Starts command, its output in a log named after the program, and waits for busName.
    bool startProcess(const QStringList &command, const QString &busName);
    bool waitForName(const QString &busName);

    QTemporaryDir m_dir;
    std::unique_ptr<PrivateSessionBus> m_systemBus; // an empty bus serves as the system bus
    std::unique_ptr<PrivateSessionBus> m_sessionBus;
    QString m_busName;
    QProcessEnvironment m_environment;
    std::vector<std::unique_ptr<QProcess>> m_processes; // ended in reverse order
    QStringList m_logFiles;
    QString m_error;
};
