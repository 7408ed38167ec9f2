#pragma once

#include <QString>

#include <memory>

class GlobalShortcutService;
class HotkeyButtons;
class LaunchButton;
class QApplication;
class StartupPressSource;

// The time between the grabs and the event loop. The QApplication takes
// longer to build than all the rest of the start-up; where the shortcut
// service reads its presses on a thread of its own (see StartupPressSource),
// a press made meanwhile starts its executable there at once. A web address
// needs the program's windows and a desktop entry GIO's main context: those
// presses are kept for the loop. The phase ends with the hand-over, just
// before the loop runs.
class StartupPhase {
public:
    StartupPhase(HotkeyButtons &manager, GlobalShortcutService &shortcuts);
    ~StartupPhase();
    StartupPhase(const StartupPhase &) = delete;
    StartupPhase &operator=(const StartupPhase &) = delete;

    // Serves presses from here on; the main thread leaves the manager alone
    // until the hand-over.
    void servePresses();
    // Builds the QApplication, the presses served meanwhile. QApplication
    // keeps a reference to argc.
    std::unique_ptr<QApplication> buildApplication(int &argc, char **argv);
    // On the main thread once the QApplication exists: the service reads
    // from the event loop, and the presses kept come after what the program
    // has asked of the loop before (the shell's timer).
    void handOverToEventLoop();

private:
    bool startNow(const QString &actionId, quint64 eventTime);
    static bool startsWithoutTheLoop(const LaunchButton &button);

    HotkeyButtons &m_manager;
    StartupPressSource *m_presses; // null where the service needs the loop for every press
    bool m_serving = false;
};
