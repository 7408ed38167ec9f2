#pragma once

#include <QString>

#include <functional>

// A shortcut service that can read its presses on a thread of its own while
// the program's main thread has no event loop yet (building the QApplication
// takes longer than all the rest of the start-up). X11 grabs can; services
// on the desktop's bus need the event loop and do not offer this.
class StartupPressSource {
public:
    // Called on the service's thread; true when the press was served there.
    using TakeNow = std::function<bool(const QString &actionId, quint64 eventTime)>;

    // From now until handOverToEventLoop(), each press is offered to takeNow
    // (the main thread leaves what takeNow touches alone meanwhile).
    virtual void readBeforeEventLoop(TakeNow takeNow) = 0;
    // On the main thread once the QCoreApplication exists: the service reads
    // from the event loop from here on, and the presses takeNow declined are
    // emitted as activated from it, after what waits there already (a zero
    // timer started before this call runs first).
    virtual void handOverToEventLoop() = 0;

protected:
    ~StartupPressSource() = default;
};
