#include "XTestKeyboard.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <vector>

XTestKeyboard::XTestKeyboard()
{
    m_connection = xcb_connect(nullptr, nullptr);
    if (!xcb_connection_has_error(m_connection))
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

XTestKeyboard::~XTestKeyboard()
{
    xcb_disconnect(m_connection);
}

bool XTestKeyboard::isOpen() const
{
    return !xcb_connection_has_error(m_connection);
}

uint8_t XTestKeyboard::keycodeOf(uint32_t keysym) const
{
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
    uint8_t result = 0;
    if (xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym)) {
        result = codes[0];
        std::free(codes);
    }
    xcb_key_symbols_free(symbols);
    return result;
}

void XTestKeyboard::press(std::initializer_list<uint32_t> modifierKeysyms, uint8_t keycode)
{
    std::vector<uint8_t> modifiers;
    for (uint32_t keysym : modifierKeysyms)
        modifiers.push_back(keycodeOf(keysym));
    for (uint8_t m : modifiers)
        fake(XCB_KEY_PRESS, m);
    fake(XCB_KEY_PRESS, keycode);
    fake(XCB_KEY_RELEASE, keycode);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        fake(XCB_KEY_RELEASE, *it);
    sync();
}

void XTestKeyboard::tap(uint8_t keycode)
{
    press({}, keycode);
}

bool XTestKeyboard::grab(uint16_t modifiers, uint8_t keycode)
{
    xcb_generic_error_t *error = xcb_request_check(
        m_connection, xcb_grab_key_checked(m_connection, 0, m_root, modifiers, keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return error == nullptr;
}

void XTestKeyboard::ungrab(uint16_t modifiers, uint8_t keycode)
{
    xcb_ungrab_key(m_connection, keycode, m_root, modifiers);
    sync();
}

uint16_t XTestKeyboard::modifierState() const
{
    xcb_query_pointer_reply_t *reply =
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
    const uint16_t mask = reply ? reply->mask : 0;
    std::free(reply);
    return mask;
}

void XTestKeyboard::sync() const
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

void XTestKeyboard::fake(uint8_t type, uint8_t keycode)
{
    xcb_test_fake_input(m_connection, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}
