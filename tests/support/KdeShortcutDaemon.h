#pragma once

#include "ProgramRun.h"

#include <QDBusConnection>
#include <QString>

#include <string>

// KDE's own shortcut daemon (org.kde.kglobalaccel) for a test, on the session
// bus the test made, in a private home and keeping nothing on disk: a killed
// daemon comes back knowing nothing, as after a reboot. Without a display it
// keeps and answers shortcuts but grabs no keys.
class KdeShortcutDaemon {
public:
    // KF5's kglobalaccel5 on PATH, or Plasma 6's kglobalacceld in the
    // library's libexec folder (not on PATH); empty when neither is installed.
    static QString program();

    explicit KdeShortcutDaemon(const QString &display = QString(), const QString &platform = QStringLiteral("offscreen"));

    // Starts it and waits until it answers on the bus.
    bool start(const QDBusConnection &bus);
    // Kills it, saving nothing, and waits until its name is gone.
    bool kill(const QDBusConnection &bus);
    std::string transcript() { return m_run.transcript(); }

private:
    ProgramRun m_run;
};
