#include "X11WindowActivator.h"

#include "X11Connection.h"
#include "X11Time.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
template<typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// _NET_ACTIVE_WINDOW source indication for a normal application.
constexpr uint32_t sourceApplication = 1;
} // namespace

X11WindowActivator::X11WindowActivator(std::shared_ptr<X11Connection> connection, InputTime latestWindowInput)
    : m_connection(std::move(connection)), m_latestWindowInput(std::move(latestWindowInput))
{
}

void X11WindowActivator::activate(quintptr nativeWindowId, quint64 eventTime)
{
    if (!m_connection->isOpen())
        return;
    xcb_connection_t *c = m_connection->get();
    const auto window = xcb_window_t(nativeWindowId);
    // Whatever asked for this window is the user's latest event: the hotkey
    // press handed in, or a click in one of our windows (seen by Qt's
    // connection). Either one's time alone may be stale.
    const uint32_t input = m_latestWindowInput ? m_latestWindowInput() : 0;
    const uint32_t time = laterX11Time(uint32_t(eventTime), input);

    if (time != XCB_CURRENT_TIME) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_USER_TIME"),
                            XCB_ATOM_CARDINAL, 32, 1, &time);
    }
    if (windowManagerRunning()) {
        xcb_client_message_event_t message;
        std::memset(&message, 0, sizeof message);
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atom("_NET_ACTIVE_WINDOW");
        message.data.data32[0] = sourceApplication;
        message.data.data32[1] = time;
        xcb_send_event(c, 0, m_connection->root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&message));
    } else {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, time);
    }
    xcb_flush(c);
}

uint32_t X11WindowActivator::atom(const char *name)
{
    xcb_connection_t *c = m_connection->get();
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
}

bool X11WindowActivator::windowManagerRunning()
{
    // An EWMH window manager announces itself on the root window.
    xcb_connection_t *c = m_connection->get();
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, m_connection->root(), atom("_NET_SUPPORTING_WM_CHECK"),
                                                XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    return reply && reply->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(reply.get()) == 4;
}
