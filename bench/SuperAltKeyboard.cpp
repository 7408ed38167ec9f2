#include "SuperAltKeyboard.h"

#include <xcb/xtest.h>

#define XK_MISCELLANY
#include <X11/keysymdef.h>

#include <chrono>
#include <cstdlib>

SuperAltKeyboard::SuperAltKeyboard() : m_connection(xcb_connect(nullptr, nullptr))
{
    if (!isConnected())
        return;
    m_symbols = xcb_key_symbols_alloc(m_connection);
    m_super = keycodeOf(XK_Super_L);
    m_alt = keycodeOf(XK_Alt_L);
}

SuperAltKeyboard::~SuperAltKeyboard()
{
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
    xcb_disconnect(m_connection);
}

bool SuperAltKeyboard::isConnected() const
{
    return !xcb_connection_has_error(m_connection);
}

long long SuperAltKeyboard::press(char letter)
{
    // A Latin-1 letter's keysym is its character code.
    const uint8_t key = keycodeOf(xcb_keysym_t(static_cast<unsigned char>(letter)));
    fake(XCB_KEY_PRESS, m_super);
    fake(XCB_KEY_PRESS, m_alt);
    xcb_flush(m_connection);
    const long long sent =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    fake(XCB_KEY_PRESS, key);
    xcb_flush(m_connection);
    fake(XCB_KEY_RELEASE, key);
    fake(XCB_KEY_RELEASE, m_alt);
    fake(XCB_KEY_RELEASE, m_super);
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return sent;
}

uint8_t SuperAltKeyboard::keycodeOf(xcb_keysym_t keysym)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_symbols, keysym);
    const uint8_t code = codes ? codes[0] : 0;
    std::free(codes);
    return code;
}

void SuperAltKeyboard::fake(uint8_t type, uint8_t keycode)
{
    xcb_test_fake_input(m_connection, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}
