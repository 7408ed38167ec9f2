#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "XTestKeyboard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

namespace {
// The real program with a home of its own, and a second client that types on
// the X server it runs on.
class VantorelEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString(); }

    // Starts the program with the home and waits for the line that says it is ready.
    ::testing::AssertionResult startIn(const char *readyLine)
    {
        run.environment().insert(QStringLiteral("HOME"), home.path());
        run.start({QStringLiteral(VANTOREL_BINARY)});
        if (run.waitForOutput(readyLine))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << run.transcript();
    }

    ButtonHome home;
    XTestKeyboard keyboard;
    ProgramRun run;
};
} // namespace

// The real program, started the way a user's session starts it, with a
// hotkey pressed on the X server it runs on.
TEST_F(VantorelEndToEndTest, AHotkeyLaunchesItsButtonScriptUntilTerminateEndsItCleanly)
{
    home.addButton(QStringLiteral("editor"), QStringLiteral("⌘ + ⌥ + E"));
    ASSERT_TRUE(home.writeButtonFile());
    ASSERT_TRUE(startIn("✅ Successfully registered shortcut: E"));

    keyboard.press({XK_Super_L, XK_Alt_L}, XK_e);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("editor")); })) << run.transcript();
    EXPECT_EQ(run.terminate(), 0);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_e)) << "its grabs went with it";
}

// The button file is a link into a synced folder; it is replaced there by a
// rename, then written in place, while the program runs: each new button's
// hotkey works within a second, without a restart.
TEST_F(VantorelEndToEndTest, AButtonFileChangedOnDiskIsTakenInWhileRunning)
{
    QTemporaryDir synced;
    const QString target = synced.filePath(QStringLiteral("buttons.json"));
    const auto writeFile = [&](const QString &path) {
        QFile out(path);
        return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(home.buttonFileBytes()) > 0;
    };
    home.addButton(QStringLiteral("first"), QStringLiteral("⌘ + ⌥ + E"));
    ASSERT_TRUE(writeFile(target));
    ASSERT_TRUE(QFile::link(target, home.path() + QStringLiteral("/.vantorel")));
    ASSERT_TRUE(startIn("✅ Successfully registered shortcut: E"));

    home.addButton(QStringLiteral("renamed"), QStringLiteral("⌘ + ⌥ + J"));
    ASSERT_TRUE(writeFile(target + QStringLiteral(".part")));
    ASSERT_TRUE(QFile::rename(target, target + QStringLiteral(".old")));
    ASSERT_TRUE(QFile::rename(target + QStringLiteral(".part"), target));
    ASSERT_TRUE(run.waitForOutput("✅ Successfully registered shortcut: J", 1000)) << run.transcript();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_j);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("renamed")); })) << run.transcript();

    home.addButton(QStringLiteral("inPlace"), QStringLiteral("⌘ + ⌥ + K"));
    ASSERT_TRUE(writeFile(target));
    ASSERT_TRUE(run.waitForOutput("✅ Successfully registered shortcut: K", 1000)) << run.transcript();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_k);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("inPlace")); })) << run.transcript();
    EXPECT_EQ(run.output().count("🔄 Reloaded"), 2) << run.transcript();
    EXPECT_EQ(run.terminate(), 0);
}

// The user switches to a German layout (Z moves to another key), then moves
// Super to another modifier bit: the hotkey follows both without a restart.
TEST_F(VantorelEndToEndTest, HotkeysFollowALayoutChangeAndAModifierMapChange)
{
    struct UsLayoutAfterwards {
        ~UsLayoutAfterwards() { QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }
    } restore; // the server is shared with the other tests
    home.addButton(QStringLiteral("zed"), QStringLiteral("⌘ + ⌥ + Z"));
    ASSERT_TRUE(home.writeButtonFile());
    ASSERT_TRUE(startIn("✅ Successfully registered shortcut: Z"));
    // Presses until one launches: the program renews its grabs when it hears of the change.
    const auto pressLaunches = [&] {
        for (int attempt = 0; attempt < 10; ++attempt) {
            keyboard.press({XK_Super_L, XK_Alt_L}, XK_z);
            if (runEventLoopUntil([&] { return home.ran(QStringLiteral("zed")); }, 200))
                return true;
        }
        return false;
    };
    ASSERT_TRUE(pressLaunches()) << run.transcript();

    const uint8_t usKey = keyboard.keycodeOf(XK_z);
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("de")}), 0);
    ASSERT_NE(keyboard.keycodeOf(XK_z), usKey) << "the layout changed";
    EXPECT_TRUE(pressLaunches()) << run.transcript();

    ASSERT_EQ(QProcess::execute(QStringLiteral("xmodmap"), {QStringLiteral("-e"), QStringLiteral("clear mod4"),
                                                            QStringLiteral("-e"), QStringLiteral("add mod3 = Super_L Super_R")}),
              0);
    EXPECT_TRUE(pressLaunches()) << run.transcript();
    EXPECT_EQ(run.terminate(), 0);
}

// A combination another program held at start is free when the machine
// wakes: logind's word that it woke makes the program grab it then.
TEST_F(VantorelEndToEndTest, WakingFromSuspendGrabsWhatIsFreeNow)
{
    PrivateSessionBus systemBus; // stands in for the system bus, with logind on it
    ASSERT_TRUE(systemBus.isRunning()) << systemBus.error().toStdString();
    QDBusConnection logind(systemBus.connect(QStringLiteral("fake-logind")));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    const auto prepareForSleep = [&](bool goingToSleep) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << goingToSleep;
        return logind.send(signal);
    };
    XTestKeyboard otherClient;
    ASSERT_TRUE(otherClient.grab(xSuperAlt, XK_w));
    home.addButton(QStringLiteral("woken"), QStringLiteral("⌘ + ⌥ + W"));
    ASSERT_TRUE(home.writeButtonFile());
    run.environment().insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBus.address());
    ASSERT_TRUE(startIn("❌ Failed to register shortcut: W"));
    // The server announces a keyboard change when XTest's keyboard first
    // types; let that pass while the combination is still held.
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
    runEventLoopUntil([] { return false; }, 200);
    otherClient.ungrab(xSuperAlt, XK_w);

    ASSERT_TRUE(prepareForSleep(true));
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
    EXPECT_FALSE(runEventLoopUntil([&] { return home.ran(QStringLiteral("woken")); }, 300))
        << "going to sleep changes nothing";
    ASSERT_TRUE(prepareForSleep(false));
    EXPECT_TRUE(runEventLoopUntil([&] {
        keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
        return home.ran(QStringLiteral("woken"));
    })) << run.transcript();
    EXPECT_EQ(run.terminate(), 0);
}

// Another client holds one combination: that button says so, the others work.
TEST_F(VantorelEndToEndTest, ACombinationHeldByAnotherClientShowsAsTakenWhileTheOthersWork)
{
    XTestKeyboard otherClient;
    ASSERT_TRUE(otherClient.grab(xSuperAlt, XK_g));
    home.addButton(QStringLiteral("held"), QStringLiteral("⌘ + ⌥ + G"));
    home.addButton(QStringLiteral("free"), QStringLiteral("⌘ + ⌥ + H"));
    ASSERT_TRUE(home.writeButtonFile());
    ASSERT_TRUE(startIn("✅ Successfully registered shortcut: H"));
    EXPECT_TRUE(run.output().contains("X11: Super+Alt+G is held by another program\n❌ Failed to register shortcut: G\n"))
        << run.transcript();
    EXPECT_EQ(run.output().count("is held by another program"), 1) << "one line says why";

    keyboard.press({XK_Super_L, XK_Alt_L}, XK_h);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("free")); })) << run.transcript();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_g);
    EXPECT_FALSE(runEventLoopUntil([&] { return home.ran(QStringLiteral("held")); }, 300))
        << "the press goes to the client that holds it";
    EXPECT_EQ(run.terminate(), 0);
}
