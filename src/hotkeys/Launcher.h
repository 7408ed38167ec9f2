#pragma once

#include "AppLauncher.h"
#include "LaunchButton.h"

#include <QString>

#include <functional>
#include <memory>

// Starts what a button points at: web addresses in the program's web window,
// everything else through the desktop's application launcher. eventTime is
// the window system's time of the press that asked (0 when unknown), handed
// on so that focus-stealing prevention lets the result come to the front.
class Launcher {
public:
    using WebWindow = std::function<void(const QString &address, quint64 eventTime)>;

    Launcher(std::shared_ptr<AppLauncher> applications, WebWindow webWindow);

    void launch(const LaunchButton &button, quint64 eventTime) const;

private:
    std::shared_ptr<AppLauncher> m_applications;
    WebWindow m_webWindow;
};
