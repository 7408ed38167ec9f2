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

    // Whether launch() needs nothing of the event loop for this button, so
    // that it may run on another thread while the main thread has no loop
    // yet: an executable file starts on its own, while a web address needs
    // the program's windows and a desktop entry GIO's main context.
    static bool startsOffTheLoop(const LaunchButton &button);

private:
    std::shared_ptr<AppLauncher> m_applications;
    WebWindow m_webWindow;
};
