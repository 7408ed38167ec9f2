#pragma once

#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <xcb/xproto.h>

#include <functional>

// Super+Alt as X modifier bits in Xvfb's modifier map.
inline constexpr uint16_t xSuperAlt = XCB_MOD_MASK_4 | XCB_MOD_MASK_1;

// One private X server for the whole test binary, started on first use.
inline XvfbServer &sharedXvfb()
{
    static XvfbServer server;
    return server;
}

// Runs the Qt event loop, letting it block as the program's loop does,
// until the condition holds or the time is up; returns the condition.
inline bool runEventLoopUntil(const std::function<bool()> &condition, int timeoutMs = 3000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
