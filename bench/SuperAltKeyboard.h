#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

// Types Super+Alt+letter through XTest on the X server DISPLAY names, as a
// user would; holds its own connection to it.
class SuperAltKeyboard {
public:
    SuperAltKeyboard();
    ~SuperAltKeyboard();
    SuperAltKeyboard(const SuperAltKeyboard &) = delete;
    SuperAltKeyboard &operator=(const SuperAltKeyboard &) = delete;

    bool isConnected() const;

    // Holds Super+Alt, taps the lower-case letter and lets go; returns once
    // the server has taken it all. The result is the wall-clock time the
    // letter went out, in nanoseconds since the epoch.
    long long press(char letter);

private:
    uint8_t keycodeOf(xcb_keysym_t keysym);
    void fake(uint8_t type, uint8_t keycode);

    xcb_connection_t *m_connection;
    xcb_key_symbols_t *m_symbols = nullptr;
    uint8_t m_super = 0;
    uint8_t m_alt = 0;
};
