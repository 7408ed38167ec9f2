#pragma once

#include "AppLauncher.h"
#include "posix/ExecutableStarter.h"

#include <memory>

class LatestPressTime;

// Opens application targets given as file:// URLs: a .desktop entry
// through GIO, an executable file directly. Both get a startup id carrying
// the latest hotkey press time, so the new window may take the focus.
// Anything else (documents, folders, missing files, other schemes) is
// refused: this program launches applications, it does not open files.
class GioAppLauncher final : public AppLauncher {
public:
    explicit GioAppLauncher(std::shared_ptr<const LatestPressTime> latestPress);

    std::optional<QString> openApplication(const QUrl &target) override;

private:
    std::optional<QString> launchDesktopEntry(const QString &path, const QByteArray &startupId);
    QByteArray nextStartupId(const QString &path);

    std::shared_ptr<const LatestPressTime> m_latestPress;
    ExecutableStarter m_executables;
    quint32 m_launchCount = 0;
};
