#pragma once

#include "platform/ApplicationIdentity.h"

#include <QString>
#include <QUrl>

#include <optional>

// Opens an application target and brings it to the front.
class AppLauncher {
public:
    virtual ~AppLauncher() = default;

    // Returns why the target was not opened, or nothing when it was started.
    // Returns at once; what the started program does later is not observed.
    // eventTime: the window system's time of the press that asked, 0 when
    // unknown; the new window may take the focus on its behalf.
    // For a local file other than a desktop entry it may also be called on
    // another thread before the program's event loop exists (the main thread
    // does not call it meanwhile).
    virtual std::optional<QString> openApplication(const QUrl &target, quint64 eventTime) = 0;

    // How the target's windows are recognised once it runs; empty when
    // the launcher cannot tell.
    virtual ApplicationIdentity identify(const QUrl &target)
    {
        Q_UNUSED(target);
        return {};
    }
};
