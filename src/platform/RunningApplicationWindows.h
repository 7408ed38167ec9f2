#pragma once

#include "platform/ApplicationIdentity.h"

#include <QtGlobal>

#include <optional>

// Other programs' top-level windows, as the desktop lists them: finding an
// application's window, telling whether it is the active one, and bringing
// it to the front on behalf of a hotkey press.
class RunningApplicationWindows {
public:
    virtual ~RunningApplicationWindows() = default;

    // Whether this desktop lets the program find other programs' windows
    // at all; when not, find() never finds one.
    virtual bool canFindWindows() = 0;
    // A window of the application, the active one if it is among them;
    // nothing when none is listed.
    virtual std::optional<quintptr> find(const ApplicationIdentity &application) = 0;
    virtual bool isFrontmost(quintptr window) = 0;
    // eventTime: the window system's time of the press that asked, 0 when unknown.
    virtual void activate(quintptr window, quint64 eventTime) = 0;
};
