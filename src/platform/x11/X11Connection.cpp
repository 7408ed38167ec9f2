#include "X11Connection.h"

#include <xcb/xcb.h>

X11Connection::X11Connection()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        m_error = QStringLiteral("DISPLAY is not set");
        return;
    }
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        m_error = QStringLiteral("cannot open display %1").arg(QString::fromLocal8Bit(display));
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        m_error = QStringLiteral("display %1 has no screen %2")
                      .arg(QString::fromLocal8Bit(display))
                      .arg(screenNumber);
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = screens.data->root;
}

X11Connection::~X11Connection()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

void X11Connection::rootPropertiesChanged(const QList<uint32_t> &atoms) const
{
    for (const auto &[owner, listener] : m_listeners)
        listener(atoms);
}

bool X11Connection::isOpen() const
{
    return m_connection && !xcb_connection_has_error(m_connection);
}
