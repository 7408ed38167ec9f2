#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "ProgramRun.h"
#include "XTestKeyboard.h"

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

// The real program, started the way a user's session starts it, with a
// hotkey pressed on the X server it runs on.
TEST(VantorelEndToEndTest, AHotkeyLaunchesItsButtonScriptUntilTerminateEndsItCleanly)
{
    ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
    ButtonHome home;
    XTestKeyboard keyboard;
    ProgramRun run;
    home.addButton(QStringLiteral("editor"), QStringLiteral("⌘ + ⌥ + E"));
    ASSERT_TRUE(home.writeButtonFile());
    run.environment().insert(QStringLiteral("HOME"), home.path());
    run.start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(run.waitForOutput("✅ Successfully registered shortcut: E")) << run.transcript();

    keyboard.press({XK_Super_L, XK_Alt_L}, XK_e);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("editor")); })) << run.transcript();
    EXPECT_EQ(run.terminate(), 0);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_e)) << "its grabs went with it";
}
