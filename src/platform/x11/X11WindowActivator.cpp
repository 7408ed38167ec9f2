#include "platform/x11/X11WindowActivator.h"

#include "platform/x11/X11Connection.h"

#include <QAbstractEventDispatcher>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {
// _NET_ACTIVE_WINDOW source indication for a normal application.
constexpr uint32_t sourceApplication = 1;

// The later of two X server times (0: none), across the clock's wrap.
uint32_t later(uint32_t a, uint32_t b)
{
    if (a == 0 || b == 0)
        return a ? a : b;
    return int32_t(a - b) > 0 ? a : b;
}
} // namespace

X11WindowActivator::X11WindowActivator(std::shared_ptr<X11Connection> connection, InputTime latestWindowInput)
    : m_connection(std::move(connection)), m_latestWindowInput(std::move(latestWindowInput))
{
}

void X11WindowActivator::activate(quintptr nativeWindowId, quint64 eventTime)
{
    activate(uint32_t(nativeWindowId), eventTime, true);
}

void X11WindowActivator::activateOtherProgramsWindow(quintptr window, quint64 eventTime)
{
    activate(uint32_t(window), eventTime, false);
}

void X11WindowActivator::activate(uint32_t window, quint64 eventTime, bool ownWindow)
{
    if (!m_connection->isOpen())
        return;
    xcb_connection_t *c = m_connection->get();
    // Whatever asked for this window is the user's latest event: the hotkey
    // press handed in, or a click in one of our windows (seen by Qt's
    // connection). Either one's time alone may be stale. Before the event
    // loop (a press served during the start-up) the program has no windows
    // yet, and the toolkit is still being set up: nothing to ask.
    const bool onEventLoop = QAbstractEventDispatcher::instance() != nullptr;
    const uint32_t input = m_latestWindowInput && onEventLoop ? m_latestWindowInput() : 0;
    const uint32_t time = later(uint32_t(eventTime), input);

    if (ownWindow && time != XCB_CURRENT_TIME)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms().userTime, XCB_ATOM_CARDINAL, 32, 1, &time);
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atoms().activeWindow;
    message.data.data32[0] = sourceApplication;
    message.data.data32[1] = time;
    xcb_send_event(c, 0, m_connection->root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));

    // A window manager answers the message, restoring a minimised window too;
    // without one, nobody would.
    if (!windowManagerRunning()) {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        if (!ownWindow)
            xcb_map_window(c, window);
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, time);
    }
    xcb_flush(c);
}

const X11WindowActivator::Atoms &X11WindowActivator::atoms()
{
    if (!m_atoms) {
        const std::vector<uint32_t> atoms
            = m_connection->internAtoms({"_NET_ACTIVE_WINDOW", "_NET_SUPPORTING_WM_CHECK", "_NET_WM_USER_TIME"});
        m_atoms = Atoms{atoms[0], atoms[1], atoms[2]};
    }
    return *m_atoms;
}

bool X11WindowActivator::windowManagerRunning()
{
    // An EWMH window manager announces itself on the root window.
    xcb_connection_t *c = m_connection->get();
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, m_connection->root(), atoms().supportingWmCheck, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool announced
        = reply && reply->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(reply) == 4;
    std::free(reply);
    return announced;
}
