#pragma once

#include "app/WebWindowLoader.h"
#include "hotkeys/HotkeyButtons.h"
#include "platform/DesktopServices.h"

#include <QTimer>

#include <memory>

class VantorelApp;

// The running program: its hotkey manager, live as soon as it is made, and
// the shell on it (tray, windows), built once the event loop runs, so that
// a press made during start-up launches at once instead of waiting for it.
// A web address opened earlier builds the shell first: the editor opened at
// start must not cover the page the press asked for.
class ProgramShell {
public:
    // Logs the manager's start-up lines and binds the hotkeys.
    explicit ProgramShell(const DesktopServices &desktop);
    ~ProgramShell();

    HotkeyButtons &manager() { return m_manager; }

    // Once the QApplication exists. A zero timer, not a posted call: timers
    // run after the socket notifiers of the same event loop pass, so presses
    // already waiting go first.
    void buildOnceTheLoopRuns() { m_buildTimer.start(0); }
    void showShortcutsEditor();

private:
    void openWebAddress(const QString &address, quint64 eventTime);
    VantorelApp &shell();

    const DesktopServices &m_desktop;
    // The web window is loaded at the first web launch, not before.
    WebWindowLoader m_webWindow;
    HotkeyButtons m_manager;
    QTimer m_buildTimer;
    std::unique_ptr<VantorelApp> m_shell;
};
