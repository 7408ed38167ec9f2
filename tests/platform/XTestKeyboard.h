#pragma once

#include <cstdint>
#include <initializer_list>

#include <xcb/xcb.h>

// A second X client for tests: types on the keyboard through XTest, as a
// user would, and can hold key grabs of its own.
class XTestKeyboard {
public:
    XTestKeyboard(); // connects to DISPLAY
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard &) = delete;
    XTestKeyboard &operator=(const XTestKeyboard &) = delete;

    bool isOpen() const;
    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    // A keycode that types the keysym in the current layout, 0 if none.
    uint8_t keycodeOf(uint32_t keysym) const;

    // Holds the modifier keys (keysyms such as XK_Super_L), taps the key
    // and lets go; returns once the server has processed it all.
    void press(std::initializer_list<uint32_t> modifierKeysyms, uint8_t keycode);
    void tap(uint8_t keycode);

    // Grabs a combination on the root window the way another program
    // would; false when the server refuses.
    bool grab(uint16_t modifiers, uint8_t keycode);
    void ungrab(uint16_t modifiers, uint8_t keycode);

    // State of the lock modifiers (XCB_MOD_MASK_LOCK, Mod2 for NumLock...).
    uint16_t modifierState() const;

    void sync() const;

private:
    void fake(uint8_t type, uint8_t keycode);

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
};
