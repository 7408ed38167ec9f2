#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "XTestKeyboard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <thread>

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

// A press made while the program still builds its QApplication starts its
// target at once, and the copy it started is known as running like any
// other: a later press, with "Bring to front if running", brings its window
// forward instead of starting another copy. The window is told by its
// process alone (its class is another program's name).
TEST_F(VantorelEndToEndTest, AProgramStartedByAPressDuringStartUpIsKnownAsRunning)
{
    const QString script = home.path() + QStringLiteral("/early.sh"), pidFile = home.path() + QStringLiteral("/early.pids");
    QFile out(script);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("#!/bin/sh\necho $$ >> '" + QFile::encodeName(pidFile) + "'\nexec sleep 60\n");
    out.close();
    out.setPermissions(out.permissions() | QFileDevice::ExeOwner);
    home.addWebButton(QStringLiteral("early"), QStringLiteral("⌘ + ⌥ + E"), QUrl::fromLocalFile(script).toString());
    ASSERT_TRUE(home.writeButtonFile());
    const auto copies = [&pidFile] {
        QList<qint64> pids;
        QFile in(pidFile);
        for (const QByteArray &line : in.open(QIODevice::ReadOnly) ? in.readAll().split('\n') : QByteArrayList())
            if (!line.isEmpty())
                pids.append(line.toLongLong());
        return pids;
    };
    struct EndCopiesAfterwards {
        std::function<QList<qint64>()> copies;
        ~EndCopiesAfterwards()
        {
            for (const qint64 pid : copies())
                ::kill(pid_t(pid), SIGTERM);
        }
    } endCopies{copies};

    // Pressed from the spawn on until a copy runs. With the X server's own plugin, building the QApplication takes long
    // enough for the first press that works to come meanwhile.
    run.environment().insert(QStringLiteral("HOME"), home.path());
    run.environment().insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    ASSERT_TRUE(run.start({QStringLiteral(VANTOREL_BINARY)}));
    QElapsedTimer sinceStart;
    sinceStart.start();
    while (copies().isEmpty() && sinceStart.elapsed() < 5000) {
        keyboard.press({XK_Super_L, XK_Alt_L}, XK_e);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(copies().isEmpty()) << run.transcript();
    runEventLoopUntil([] { return false; }, 300); // presses still on their way land
    ASSERT_TRUE(run.waitForOutput("📱 Launching app: ")) << run.transcript();

    // Play a window manager that lists one window of the first copy.
    xcb_connection_t *c = keyboard.connection();
    const auto atom = [c](const char *name) {
        const std::unique_ptr<xcb_intern_atom_reply_t, void (*)(void *)> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr), &std::free);
        return reply->atom;
    };
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, 0, window, keyboard.root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, 0, 0, nullptr);
    const uint32_t pid = uint32_t(copies().first());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 12, "other\0Other\0");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, keyboard.root(), atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32, 1,
                        &window);
    keyboard.sync();

    const qsizetype started = copies().size();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_e);
    EXPECT_TRUE(run.waitForOutput("🪟 Brought early to the front", 3000)) << run.transcript();
    EXPECT_EQ(copies().size(), started) << "the press started another copy";
    xcb_delete_property(c, keyboard.root(), atom("_NET_CLIENT_LIST"));
    xcb_destroy_window(c, window);
    keyboard.sync();
    EXPECT_EQ(run.terminate(), 0);
}
