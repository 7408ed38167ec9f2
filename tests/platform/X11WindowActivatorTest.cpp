#include "EventLoopWait.h"
#include "LatestPressTime.h"
#include "SharedXvfb.h"
#include "XTestKeyboard.h"
#include "x11/X11Connection.h"
#include "x11/X11WindowActivator.h"

#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {
xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

xcb_window_t createWindow(xcb_connection_t *c, xcb_window_t root)
{
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    return window;
}

xcb_window_t focusedWindow(xcb_connection_t *c)
{
    xcb_get_input_focus_reply_t *reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const xcb_window_t result = reply ? reply->focus : XCB_NONE;
    std::free(reply);
    return result;
}

std::optional<uint32_t> cardinalProperty(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    std::optional<uint32_t> result;
    if (reply && xcb_get_property_value_length(reply) == 4)
        result = *static_cast<uint32_t *>(xcb_get_property_value(reply));
    std::free(reply);
    return result;
}
} // namespace

class X11WindowActivatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
        desktop = std::make_unique<XTestKeyboard>();
        ASSERT_TRUE(desktop->isOpen());
        latestPress = std::make_shared<LatestPressTime>();
        activator = std::make_unique<X11WindowActivator>(std::make_shared<X11Connection>(), latestPress);
    }

    // Plays a window manager: announces itself on the root window and takes
    // the requests other clients address to it.
    void becomeWindowManager()
    {
        xcb_connection_t *c = desktop->connection();
        const xcb_window_t check = createWindow(c, desktop->root());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, desktop->root(), atom(c, "_NET_SUPPORTING_WM_CHECK"),
                            XCB_ATOM_WINDOW, 32, 1, &check);
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, desktop->root(), XCB_CW_EVENT_MASK, &mask);
        desktop->sync();
    }

    void TearDown() override
    {
        if (desktop && desktop->isOpen()) {
            xcb_delete_property(desktop->connection(), desktop->root(),
                                atom(desktop->connection(), "_NET_SUPPORTING_WM_CHECK"));
            desktop->sync();
        }
    }

    std::optional<xcb_client_message_event_t> nextClientMessage()
    {
        QDeadlineTimer deadline(3000);
        while (!deadline.hasExpired()) {
            xcb_generic_event_t *event = xcb_poll_for_event(desktop->connection());
            if (!event) {
                QThread::msleep(5);
                continue;
            }
            std::optional<xcb_client_message_event_t> message;
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE)
                message = *reinterpret_cast<xcb_client_message_event_t *>(event);
            std::free(event);
            if (message)
                return message;
        }
        return std::nullopt;
    }

    std::unique_ptr<XTestKeyboard> desktop;
    std::shared_ptr<LatestPressTime> latestPress;
    std::unique_ptr<X11WindowActivator> activator;
};

TEST_F(X11WindowActivatorTest, AsksTheWindowManagerWithTheTimeOfTheLatestPress)
{
    becomeWindowManager();
    xcb_connection_t *c = desktop->connection();
    const xcb_window_t window = createWindow(c, desktop->root());
    desktop->sync();
    latestPress->record(424242);

    activator->activate(window);

    const std::optional<xcb_client_message_event_t> message = nextClientMessage();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->type, atom(c, "_NET_ACTIVE_WINDOW"));
    EXPECT_EQ(message->window, window);
    EXPECT_EQ(message->data.data32[0], 1u); // on behalf of an application
    EXPECT_EQ(message->data.data32[1], 424242u);
    EXPECT_EQ(cardinalProperty(c, window, atom(c, "_NET_WM_USER_TIME")), 424242u);
}

TEST_F(X11WindowActivatorTest, WithoutAPressTheRequestCarriesTheCurrentTime)
{
    becomeWindowManager();
    const xcb_window_t window = createWindow(desktop->connection(), desktop->root());
    desktop->sync();

    activator->activate(window);

    const std::optional<xcb_client_message_event_t> message = nextClientMessage();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->data.data32[1], uint32_t(XCB_CURRENT_TIME));
    EXPECT_FALSE(cardinalProperty(desktop->connection(), window, atom(desktop->connection(), "_NET_WM_USER_TIME")));
}

TEST_F(X11WindowActivatorTest, WithoutAWindowManagerFocusesTheWindowItself)
{
    xcb_connection_t *c = desktop->connection();
    const xcb_window_t window = createWindow(c, desktop->root());
    xcb_map_window(c, window);
    desktop->sync();
    ASSERT_NE(focusedWindow(c), window);

    activator->activate(window);

    EXPECT_TRUE(runEventLoopUntil([&] { return focusedWindow(c) == window; }));
}
