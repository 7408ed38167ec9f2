#include "ButtonHome.h"
#include "DesktopServices.h"
#include "EventLoopWait.h"
#include "HotKeyManager.h"
#include "LogCapture.h"
#include "SharedXvfb.h"
#include "XTestKeyboard.h"

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

#include <memory>

// The manager wired with the session's real desktop backends, on a private
// X server, driven by key presses.
class HotKeyManagerOnX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
        ASSERT_TRUE(home.isValid());
        keyboard = std::make_unique<XTestKeyboard>();
        ASSERT_TRUE(keyboard->isOpen());
    }

    void startManager()
    {
        ASSERT_TRUE(home.writeButtonFile());
        const DesktopServices desktop = DesktopServices::forThisSession();
        manager = std::make_unique<HotKeyManager>(HotKeyManager::Services{
            desktop.hotkeys, desktop.launcher, desktop.permission, {}, home.path(), {}});
    }

    uint8_t key(uint32_t keysym) const { return keyboard->keycodeOf(keysym); }

    ButtonHome home;
    LogCapture log;
    std::unique_ptr<XTestKeyboard> keyboard;
    std::unique_ptr<HotKeyManager> manager;
};

TEST_F(HotKeyManagerOnX11Test, APressLaunchesItsButton)
{
    home.addButton(QStringLiteral("notes"), QStringLiteral("⌘ + ⌥ + F"));
    home.addButton(QStringLiteral("terminal"), QStringLiteral("⌘ + ⌥ + T"));
    startManager();
    EXPECT_TRUE(log.contains(QStringLiteral("🔐 Initial Permission Status: granted")));

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_t));

    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("terminal")); }));
    EXPECT_FALSE(home.ran(QStringLiteral("notes")));
}

TEST_F(HotKeyManagerOnX11Test, TwoButtonsOnOneLetterWithDifferentModifiersBothLaunch)
{
    home.addButton(QStringLiteral("first"), QStringLiteral("⌘ + ⌥ + F"));
    home.addButton(QStringLiteral("second"), QStringLiteral("⌃ + F"));
    startManager();

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("first")); }));
    keyboard->press({XK_Control_L}, key(XK_f));
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("second")); }));
}

TEST_F(HotKeyManagerOnX11Test, ACombinationHeldByAnotherProgramFailsForThatButtonOnly)
{
    XTestKeyboard otherProgram;
    ASSERT_TRUE(otherProgram.grab(XCB_MOD_MASK_4 | XCB_MOD_MASK_1, key(XK_g)));
    home.addButton(QStringLiteral("before"), QStringLiteral("⌘ + ⌥ + F"));
    home.addButton(QStringLiteral("held"), QStringLiteral("⌘ + ⌥ + G"));
    home.addButton(QStringLiteral("after"), QStringLiteral("⌘ + ⌥ + H"));
    startManager();

    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to register shortcut: G")));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Successfully registered shortcut: F")));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Successfully registered shortcut: H")));

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_g));
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_h));
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("before")) && home.ran(QStringLiteral("after")); }));
    runEventLoopFor(100);
    EXPECT_FALSE(home.ran(QStringLiteral("held")));
}

TEST_F(HotKeyManagerOnX11Test, AfterUnregisteringAllAPressDoesNothing)
{
    home.addButton(QStringLiteral("notes"), QStringLiteral("⌘ + ⌥ + F"));
    startManager();
    manager->unregisterAllShortcuts();
    log.clear();

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));

    runEventLoopFor(300);
    EXPECT_FALSE(home.ran(QStringLiteral("notes")));
    EXPECT_TRUE(log.startingWith(QStringLiteral("⌨️")).isEmpty());
    // Nothing of ours holds the combination any more.
    EXPECT_TRUE(keyboard->grab(XCB_MOD_MASK_4 | XCB_MOD_MASK_1, key(XK_f)));
    keyboard->ungrab(XCB_MOD_MASK_4 | XCB_MOD_MASK_1, key(XK_f));
}

TEST_F(HotKeyManagerOnX11Test, ReRegisteringAfterAnEditKeepsOnePressOneLaunch)
{
    home.addButton(QStringLiteral("notes"), QStringLiteral("⌘ + ⌥ + F"));
    startManager();
    manager->unregisterAllShortcuts();
    manager->registerAllShortcuts();
    log.clear();

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));

    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("notes")); }));
    runEventLoopFor(100);
    EXPECT_EQ(log.startingWith(QStringLiteral("⌨️ Shortcut pressed")).size(), 1);
}
