#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "ProgramRun.h"
#include "TestHttpServer.h"
#include "XTestKeyboard.h"

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

// The real program, started the way a user's session starts it, with
// hotkeys pressed on the X server it runs on.
class VantorelEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString(); }

    // Starts the program on the buttons added and waits until its one button is registered.
    bool startProgram()
    {
        run.environment().insert(QStringLiteral("HOME"), home.path());
        return home.writeButtonFile() && run.start({QStringLiteral(VANTOREL_BINARY)})
            && run.waitForOutput("Successfully registered shortcut");
    }

    ButtonHome home;
    XTestKeyboard keyboard;
    ProgramRun run;
};

TEST_F(VantorelEndToEndTest, AHotkeyLaunchesItsButtonScriptUntilTerminateEndsItCleanly)
{
    home.addButton(QStringLiteral("editor"), QStringLiteral("⌘ + ⌥ + E"));
    ASSERT_TRUE(startProgram()) << run.transcript();

    keyboard.press({XK_Super_L, XK_Alt_L}, XK_e);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("editor")); })) << run.transcript();
    EXPECT_EQ(run.terminate(), 0);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_e)) << "its grabs went with it";
}

TEST_F(VantorelEndToEndTest, AWebHotkeyTogglesItsPageInTheWebWindow)
{
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.serve(QStringLiteral("/page"), "<html><body>page</body></html>");
    home.addWebButton(QStringLiteral("page"), QStringLiteral("⌘ + ⌥ + W"), server.url(QStringLiteral("/page")));
    ASSERT_TRUE(startProgram()) << run.transcript();
    const auto pageRequests = [&] { return server.requestsFor(QStringLiteral("/page")).size(); };
    const auto pressed = [&](int launches) {
        keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
        return runEventLoopUntil([&] { return run.output().count("🌐 Launching web URL: ") == launches; }, 20000);
    };

    ASSERT_TRUE(pressed(1)) << run.transcript();
    ASSERT_TRUE(runEventLoopUntil([&] { return pageRequests() == 1; }, 20000)) << run.transcript();

    // The same hotkey while the page shows closes the window; a third press
    // shows it again with a fresh load.
    ASSERT_TRUE(pressed(2)) << run.transcript();
    EXPECT_FALSE(runEventLoopUntil([&] { return pageRequests() > 1; }, 1000)) << "the second press reloaded";
    ASSERT_TRUE(pressed(3)) << run.transcript();
    EXPECT_TRUE(runEventLoopUntil([&] { return pageRequests() == 2; }, 20000)) << run.transcript();
    EXPECT_FALSE(runEventLoopUntil([&] { return pageRequests() > 2; }, 300));
}
