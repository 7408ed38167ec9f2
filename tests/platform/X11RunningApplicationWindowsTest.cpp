#include "XTestKeyboard.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11RunningApplicationWindows.h"
#include "platform/x11/X11WindowActivator.h"

#include <xcb/xcb.h>

#include <cstdlib>

#include <gtest/gtest.h>

// Other clients' windows found through the root window's lists. Xvfb runs
// no window manager: the test keeps the lists itself, and stands in for the
// window manager when it watches the activation requests.
class X11RunningApplicationWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
        connection = std::make_shared<X11Connection>();
        ASSERT_TRUE(connection->isOpen());
        windows = std::make_unique<X11RunningApplicationWindows>(connection);
        ASSERT_FALSE(xcb_connection_has_error(c));
        editor = client.clientWindow("gedit\0Gedit", 4242);
        terminal = client.clientWindow("xterm\0XTerm", 99);
    }

    // The lists stay on the shared server's root window; the windows go with the client.
    void TearDown() override
    {
        client.setRootWindows("_NET_CLIENT_LIST", {});
        client.setRootWindows("_NET_ACTIVE_WINDOW", {});
    }

    std::shared_ptr<X11Connection> connection;
    std::unique_ptr<X11RunningApplicationWindows> windows;
    XTestKeyboard client; // the other programs' windows, and a window manager when one is needed
    xcb_connection_t *c = client.connection();
    xcb_window_t editor = 0;
    xcb_window_t terminal = 0;
};

TEST_F(X11RunningApplicationWindowsTest, AListedWindowIsFoundByItsClassOrItsProcessAndNoOtherIs)
{
    EXPECT_FALSE(windows->canFindWindows()) << "no window list, no window manager to ask";
    EXPECT_EQ(windows->find({{}, {QStringLiteral("gedit")}}), std::nullopt);

    client.setRootWindows("_NET_CLIENT_LIST", {editor, terminal});
    EXPECT_TRUE(windows->canFindWindows());
    EXPECT_EQ(windows->find({{}, {QStringLiteral("gedit")}}), editor) << "by the instance name";
    EXPECT_EQ(windows->find({{}, {QStringLiteral("XTERM")}}), terminal) << "by the class, ignoring case";
    EXPECT_EQ(windows->find({{4242}, {QStringLiteral("nothing-like-it")}}), editor) << "by the process";
    EXPECT_EQ(windows->find({{1234}, {QStringLiteral("Firefox"), QStringLiteral("gedi")}}), std::nullopt);

    // Of several windows of the application, the active one.
    const xcb_window_t secondEditor = client.clientWindow("gedit\0Gedit", 4243);
    client.setRootWindows("_NET_CLIENT_LIST", {editor, terminal, secondEditor});
    EXPECT_EQ(windows->find({{}, {QStringLiteral("Gedit")}}), secondEditor);
    client.setRootWindows("_NET_ACTIVE_WINDOW", {editor});
    EXPECT_EQ(windows->find({{}, {QStringLiteral("Gedit")}}), editor);
}

TEST_F(X11RunningApplicationWindowsTest, ActivationAsksTheWindowManagerWithThePressTime)
{
    client.setRootWindows("_NET_CLIENT_LIST", {editor, terminal});
    client.setRootWindows("_NET_ACTIVE_WINDOW", {editor});
    EXPECT_TRUE(windows->isFrontmost(editor));
    EXPECT_FALSE(windows->isFrontmost(terminal));

    // What a window manager would be sent.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, client.root(), XCB_CW_EVENT_MASK, &mask);
    client.sync();
    const xcb_atom_t activeWindow = client.atom("_NET_ACTIVE_WINDOW");
    windows->activate(terminal, 5678);

    std::optional<xcb_client_message_event_t> request;
    ASSERT_TRUE(runEventLoopUntil([&] {
        for (xcb_generic_event_t *event; !request && (event = xcb_poll_for_event(c)); std::free(event)) {
            const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->type == activeWindow)
                request = *message;
        }
        return request.has_value();
    }));
    EXPECT_EQ(request->window, terminal);
    EXPECT_EQ(request->data.data32[0], 1u) << "as a normal application";
    EXPECT_EQ(request->data.data32[1], 5678u);
}

// The program's own window (the editor, shown from the tray menu or a
// hotkey) carries the time of the user event that asked for it, which the
// window manager weighs against the user's other input: the later of the
// press and the latest input in the program's windows.
TEST_F(X11RunningApplicationWindowsTest, AnOwnWindowCarriesTheTimeOfTheEventThatAskedForIt)
{
    quint32 windowInput = 0;
    X11WindowActivator activator(connection, [&] { return windowInput; });
    xcb_map_window(c, editor);
    client.sync();
    const auto userTime = [&] {
        EXPECT_TRUE(connection->roundTrip());
        auto *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, editor, client.atom("_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 0, 1), nullptr);
        const uint32_t time = reply && xcb_get_property_value_length(reply) == 4
            ? *static_cast<const uint32_t *>(xcb_get_property_value(reply)) : 0;
        std::free(reply);
        return time;
    };
    windowInput = 50000; // a hotkey long ago, then a click in the tray menu
    activator.activate(editor, 1000);
    EXPECT_EQ(userTime(), 50000u) << "the click's time, not the stale hotkey's";
    // The server's clock wraps after 49 days; a press just after the wrap is still the later event.
    windowInput = 0xFFFFFF00u;
    activator.activate(editor, 0x100u);
    EXPECT_EQ(userTime(), 0x100u);
}

// A minimised window is unmapped; with nobody to ask, the program restores
// and focuses it itself.
TEST_F(X11RunningApplicationWindowsTest, WithoutAWindowManagerActivationMapsAndFocusesTheWindow)
{
    client.setRootWindows("_NET_CLIENT_LIST", {editor, terminal});
    windows->activate(terminal, 0);
    ASSERT_TRUE(connection->roundTrip());

    auto *attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, terminal), nullptr);
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(attributes->map_state, XCB_MAP_STATE_VIEWABLE);
    std::free(attributes);
    auto *focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->focus, terminal);
    std::free(focus);
}

// While the connection reads its events, the lists are read once and then
// again only when the root window says they changed.
TEST_F(X11RunningApplicationWindowsTest, ListsFollowTheRootWindowsChangesWhileEventsAreRead)
{
    client.setRootWindows("_NET_CLIENT_LIST", {editor});
    connection->readFromEventLoop();
    ASSERT_TRUE(connection->eventsRead());
    EXPECT_EQ(windows->find({{}, {QStringLiteral("xterm")}}), std::nullopt);

    client.setRootWindows("_NET_CLIENT_LIST", {editor, terminal});
    EXPECT_TRUE(runEventLoopUntil([&] { return windows->find({{}, {QStringLiteral("xterm")}}) == terminal; }));
    client.setRootWindows("_NET_ACTIVE_WINDOW", {terminal});
    EXPECT_TRUE(runEventLoopUntil([&] { return windows->isFrontmost(terminal); }));
    client.setRootWindows("_NET_CLIENT_LIST", {terminal});
    EXPECT_TRUE(runEventLoopUntil([&] { return !windows->find({{}, {QStringLiteral("gedit")}}); }))
        << "a window gone from the list is gone";
}
