#pragma once

#include <QString>

#include <cstdint>

struct xcb_connection_t;

// The program's own connection to the X server named by DISPLAY, separate
// from whatever the Qt platform plugin uses, so that the X11 backends work
// under any plugin (offscreen included). Shared by the X11 backends.
class X11Connection {
public:
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection &) = delete;
    X11Connection &operator=(const X11Connection &) = delete;

    // False when there is no display or the server has gone away.
    bool isOpen() const;
    xcb_connection_t *get() const { return m_connection; }
    uint32_t root() const { return m_root; }

    // Why the connection could not be opened.
    QString error() const { return m_error; }

private:
    xcb_connection_t *m_connection = nullptr;
    uint32_t m_root = 0;
    QString m_error;
};
