#pragma once

#include "WindowActivator.h"

#include <cstdint>
#include <functional>
#include <memory>

class X11Connection;

// Asks the window manager to activate a window (_NET_ACTIVE_WINDOW, as an
// application acting on a user request, stamped with the time of the user
// event that asked for it so focus-stealing prevention lets it through).
// Without a window manager it raises the window and gives it the input
// focus itself.
class X11WindowActivator final : public WindowActivator {
public:
    // The X server time of the user's latest input to the program's own
    // windows (a click in the tray menu or the editor); 0 when unknown.
    using InputTime = std::function<quint32()>;

    X11WindowActivator(std::shared_ptr<X11Connection> connection, InputTime latestWindowInput);

    void activate(quintptr nativeWindowId, quint64 eventTime) override;

private:
    uint32_t atom(const char *name);
    bool windowManagerRunning();

    std::shared_ptr<X11Connection> m_connection;
    InputTime m_latestWindowInput;
};
