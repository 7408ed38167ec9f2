#pragma once

#include "platform/AppLauncher.h"
#include "platform/posix/ExecutableStarter.h"

// Opens application targets given as file:// URLs: a .desktop entry
// through GIO, an executable file directly. Both get a startup id carrying
// the time of the press, so the new window may take the focus.
// Anything else (documents, folders, missing files, other schemes) is
// refused: this program launches applications, it does not open files.
// Desktop entries are read with GIO for their window class too: it parses
// them as the desktop does (localised keys, escapes, Exec quoting).
class GioAppLauncher final : public AppLauncher {
public:
    std::optional<QString> openApplication(const QUrl &target, quint64 eventTime) override;
    // The processes started here from the target that still run, and its
    // window class: a desktop entry's StartupWMClass, else the file name of
    // the program it runs (of the executable itself for an executable).
    ApplicationIdentity identify(const QUrl &target) override;

private:
    std::optional<QString> launchDesktopEntry(const QString &path, const QByteArray &startupId);
    QByteArray nextStartupId(const QString &path, quint64 eventTime);

    ExecutableStarter m_executables;
    QByteArray m_startupIdPrefix; // "vantorel-<pid>-<host>-"
    quint32 m_launchCount = 0;
};
