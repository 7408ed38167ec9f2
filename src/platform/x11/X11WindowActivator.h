#pragma once

#include "platform/WindowActivator.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class X11Connection;

// Asks the window manager to activate a window (_NET_ACTIVE_WINDOW, as an
// application acting on a user request, stamped with the time of the user
// event that asked for it so focus-stealing prevention lets it through).
// Without a window manager it maps, raises and focuses the window itself.
// The one way the program activates windows, its own and other programs'.
class X11WindowActivator final : public WindowActivator {
public:
    // The X server time of the user's latest input to the program's own
    // windows (a click in the tray menu or the editor); 0 when unknown.
    using InputTime = std::function<quint32()>;

    X11WindowActivator(std::shared_ptr<X11Connection> connection, InputTime latestWindowInput);

    // One of the program's own windows, which the toolkit maps: its
    // _NET_WM_USER_TIME is stamped too.
    void activate(quintptr nativeWindowId, quint64 eventTime) override;
    // Another program's window, which is left as it is but for a window
    // manager's absence: it may be unmapped (minimised) then.
    void activateOtherProgramsWindow(quintptr window, quint64 eventTime);

private:
    struct Atoms {
        uint32_t activeWindow;
        uint32_t supportingWmCheck;
        uint32_t userTime;
    };

    void activate(uint32_t window, quint64 eventTime, bool ownWindow);
    const Atoms &atoms();
    bool windowManagerRunning();

    std::shared_ptr<X11Connection> m_connection;
    InputTime m_latestWindowInput;
    std::optional<Atoms> m_atoms; // interned at the first activation
};
