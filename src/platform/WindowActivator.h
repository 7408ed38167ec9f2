#pragma once

#include <QtGlobal>

// Brings one of the program's top-level windows to the front with the
// keyboard focus, on behalf of the user's latest hotkey press or click.
// Window managers with focus-stealing prevention need the time of that
// event, which only the desktop backend knows.
class WindowActivator {
public:
    virtual ~WindowActivator() = default;

    // nativeWindowId: the window's QWindow::winId(). eventTime: the window
    // system's time of the hotkey press that asked for the window; 0 for a
    // request from the program's own windows, whose latest input counts then.
    virtual void activate(quintptr nativeWindowId, quint64 eventTime = 0) = 0;
};
