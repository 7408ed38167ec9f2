#pragma once

#include "hotkeys/ButtonPreferences.h"
#include "model/LaunchButton.h"
#include "platform/AppLauncher.h"
#include "platform/RunningApplicationWindows.h"

#include <QString>

#include <functional>
#include <memory>

// Starts what a button points at: web addresses in the program's web window,
// everything else through the desktop's application launcher. eventTime is
// the window system's time of the press that asked (0 when unknown), handed
// on so that focus-stealing prevention lets the result come to the front.
// An application that already has a window is brought to the front
// instead; when that window is in front already, a new copy starts only if
// the button's preferences ask for one.
class Launcher {
public:
    using WebWindow = std::function<void(const QString &address, quint64 eventTime)>;
    // What came of a launch: nothing when the target started (or its window
    // came to the front), else why it did not. Called on the thread that
    // launched.
    using Outcome = std::function<void(QUuid buttonId, const std::optional<QString> &failure)>;

    // windows may be null: then every press starts its target.
    Launcher(std::shared_ptr<AppLauncher> applications, std::shared_ptr<RunningApplicationWindows> windows,
             WebWindow webWindow, const ButtonPreferences &preferences);

    void launch(const LaunchButton &button, quint64 eventTime) const;
    void setOnOutcome(Outcome onOutcome) { m_onOutcome = std::move(onOutcome); }

private:
    // True when a window of the running application answers the press.
    bool answeredByRunningWindow(const LaunchButton &button, const QUrl &target, quint64 eventTime) const;
    void report(const LaunchButton &button, const std::optional<QString> &failure) const;

    std::shared_ptr<AppLauncher> m_applications;
    std::shared_ptr<RunningApplicationWindows> m_windows;
    WebWindow m_webWindow;
    const ButtonPreferences &m_preferences;
    Outcome m_onOutcome;
};
