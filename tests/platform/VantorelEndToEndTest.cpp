#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "XTestKeyboard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
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

// The real program, started the way a user's session starts it. Its button
// file is a link into a synced folder; it is replaced there by a rename, then
// written in place, while the program runs: each new button's hotkey works
// within a second, without a restart; SIGTERM ends it cleanly.
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
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_k)) << "its grabs went with it";
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
