#pragma once

#include "WindowActivator.h"

#include <cstdint>
#include <memory>

class LatestPressTime;
class X11Connection;

// Asks the window manager to activate a window (_NET_ACTIVE_WINDOW, as an
// application acting on a user request, stamped with the latest hotkey
// press so focus-stealing prevention lets it through). Without a window
// manager it raises the window and gives it the input focus itself.
class X11WindowActivator final : public WindowActivator {
public:
    X11WindowActivator(std::shared_ptr<X11Connection> connection,
                       std::shared_ptr<const LatestPressTime> latestPress);

    void activate(quintptr nativeWindowId) override;

private:
    uint32_t atom(const char *name);
    bool windowManagerRunning();

    std::shared_ptr<X11Connection> m_connection;
    std::shared_ptr<const LatestPressTime> m_latestPress;
};
