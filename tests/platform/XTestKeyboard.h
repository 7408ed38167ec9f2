#pragma once

#include "DesktopTestKit.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

// A second X client on the shared server (started here if need be): types
// through XTest as a user would, grabs keys and opens windows as another
// program would, and keeps the root window's lists as a window manager would.
// Its windows go with it.
class XTestKeyboard {
public:
    XTestKeyboard() : m_connection((sharedXvfb(), xcb_connect(nullptr, nullptr)))
    {
        if (!xcb_connection_has_error(m_connection))
            m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~XTestKeyboard() { xcb_disconnect(m_connection); }

    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    // A keycode that types the keysym in the current layout, 0 if none.
    // The key that types the symbol in the first (active) layout.
    uint8_t keycodeOf(uint32_t keysym) const
    {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        uint8_t result = 0;
        for (int keycode = setup->min_keycode; keycode <= setup->max_keycode && !result; ++keycode) {
            if (xcb_key_symbols_get_keysym(symbols, xcb_keycode_t(keycode), 0) == keysym
                || xcb_key_symbols_get_keysym(symbols, xcb_keycode_t(keycode), 1) == keysym)
                result = uint8_t(keycode);
        }
        xcb_key_symbols_free(symbols);
        return result;
    }

    void press(std::initializer_list<uint32_t> modifiers, uint32_t keysym)
    {
        const auto fake = [this](uint8_t type, uint32_t sym) {
            xcb_test_fake_input(m_connection, type, keycodeOf(sym), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        };
        for (uint32_t modifier : modifiers)
            fake(XCB_KEY_PRESS, modifier);
        fake(XCB_KEY_PRESS, keysym);
        fake(XCB_KEY_RELEASE, keysym);
        for (uint32_t modifier : modifiers)
            fake(XCB_KEY_RELEASE, modifier);
        sync();
    }

    // Grabs the combination on the root window and keeps it; false if refused.
    bool grab(uint16_t modifiers, uint32_t keysym)
    {
        xcb_generic_error_t *error = xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, 0, m_root, modifiers, keycodeOf(keysym),
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

    void ungrab(uint16_t modifiers, uint32_t keysym)
    {
        xcb_ungrab_key(m_connection, keycodeOf(keysym), m_root, modifiers);
        sync();
    }

    // Whether nobody else holds the combination (grabs it and lets go).
    bool canGrab(uint16_t modifiers, uint32_t keysym)
    {
        const bool granted = grab(modifiers, keysym);
        ungrab(modifiers, keysym);
        return granted;
    }

    xcb_atom_t atom(const char *name) const
    {
        auto *reply = xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name),
                                            nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return result;
    }

    // An unmapped window of another program: its class ("instance\0Class") and its process.
    template<size_t N>
    xcb_window_t clientWindow(const char (&wmClass)[N], uint32_t pid) const
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 50, 50, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, N, wmClass);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        return window;
    }

    // A list of windows (_NET_CLIENT_LIST, _NET_ACTIVE_WINDOW) on the root
    // window, set once the server has done it; none deletes it.
    void setRootWindows(const char *property, const std::vector<xcb_window_t> &list) const
    {
        if (list.empty())
            xcb_delete_property(m_connection, m_root, atom(property));
        else
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_root, atom(property), XCB_ATOM_WINDOW, 32,
                                uint32_t(list.size()), list.data());
        sync();
    }

    uint16_t modifierState() const
    {
        xcb_query_pointer_reply_t *reply =
            xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
        const uint16_t mask = reply ? reply->mask : 0;
        std::free(reply);
        return mask;
    }

    void sync() const
    {
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    xcb_connection_t *m_connection;
    xcb_window_t m_root = 0;
};
