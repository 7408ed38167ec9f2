#include "DesktopTestKit.h"
#include "x11/X11Connection.h"
#include "x11/X11WindowActivator.h"

#include <xcb/xcb.h>

#include <cstdlib>

#include <gtest/gtest.h>

// The activation carries the time of the user event that asked for it, which
// the window manager weighs against the user's other input.
class X11WindowActivatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
        connection = std::make_shared<X11Connection>(); // on the server just started
        ASSERT_TRUE(connection->isOpen());
        activator = std::make_unique<X11WindowActivator>(connection, [this] { return windowInput; });
        xcb_connection_t *c = connection->get();
        window = xcb_generate_id(c);
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(c, window);
        xcb_flush(c);
    }

    void TearDown() override
    {
        if (window)
            xcb_destroy_window(connection->get(), window);
        xcb_flush(connection->get());
    }

    // The window's _NET_WM_USER_TIME, 0 when unset.
    uint32_t userTime() const
    {
        xcb_connection_t *c = connection->get();
        const char name[] = "_NET_WM_USER_TIME";
        auto *atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
        auto *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, atom->atom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        const uint32_t time = reply && xcb_get_property_value_length(reply) == 4
            ? *static_cast<const uint32_t *>(xcb_get_property_value(reply)) : 0;
        std::free(reply);
        std::free(atom);
        return time;
    }

    std::shared_ptr<X11Connection> connection;
    quint32 windowInput = 0;
    std::unique_ptr<X11WindowActivator> activator;
    xcb_window_t window = 0;
};

TEST_F(X11WindowActivatorTest, ActivationCarriesTheTimeOfTheEventThatAskedForIt)
{
    // A hotkey long ago, then a click in the tray menu.
    windowInput = 50000;
    activator->activate(window, 1000);
    EXPECT_EQ(userTime(), 50000u) << "the click's time, not the stale hotkey's";

    // The server's clock wraps after 49 days; a press just after the wrap
    // is still the later event.
    windowInput = 0xFFFFFF00u;
    activator->activate(window, 0x100u);
    EXPECT_EQ(userTime(), 0x100u);
}
