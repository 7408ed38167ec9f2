#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "LaunchMarker.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "RequiredTool.h"
#include "XvfbServer.h"
#include "fake/FakeKGlobalAccel.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QStandardPaths>
#include <QUuid>

#include <gtest/gtest.h>

namespace {
// A Plasma Wayland session without a display the program could reach: its
// shortcuts go through KDE's daemon, and a press there launches the button.
TEST(KdeSessionTest, APressFromKdesShortcutDaemonLaunchesTheButton)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    FakeKGlobalAccel daemon(QDBusConnection(bus.connect(QStringLiteral("kglobalaccel"))));
    ASSERT_TRUE(daemon.isServing());

    ProgramRun program;
    const LaunchMarker marker(program.dir());
    ButtonFileWriter buttons;
    const QUuid id = buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), marker.url());
    ASSERT_TRUE(buttons.writeTo(program.buttonFile()));
    const QString action = id.toString(QUuid::WithoutBraces).toUpper();

    program.enterWaylandSession(QStringLiteral("KDE")); // on the bus, which it took along
    program.start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(program.waitForOutput("✅ Successfully registered shortcut")) << program.transcript();
    EXPECT_EQ(daemon.keysOf(QStringLiteral("org.vantorel.Vantorel"), action),
              QKeyCombination(Qt::MetaModifier | Qt::AltModifier, Qt::Key_M).toCombined());

    // The program listens once its first action is registered: a press
    // before that is lost, so press again until one launches.
    for (int attempt = 0; attempt < 20 && marker.launches() == 0; ++attempt) {
        ASSERT_TRUE(daemon.press(action, 77));
        runEventLoopUntil([&] { return marker.launches() > 0; }, 1000);
    }
    EXPECT_EQ(marker.launches(), 1) << program.transcript();
    EXPECT_TRUE(program.output().contains("⌨️ Shortcut pressed with ID: ")) << program.transcript();
    EXPECT_EQ(program.terminate(), 0);
    // Quitting leaves the action to the user's settings, only inactive.
    EXPECT_FALSE(daemon.isActive(QStringLiteral("org.vantorel.Vantorel"), action));
    EXPECT_EQ(daemon.keysOf(QStringLiteral("org.vantorel.Vantorel"), action),
              QKeyCombination(Qt::MetaModifier | Qt::AltModifier, Qt::Key_M).toCombined());
}

// KDE's own daemon (KF5), grabbing on a private X server as it does outside
// Plasma: checks the calls' wire format against the real thing.
TEST(KdeSessionTest, WithKdesOwnDaemonAKeyPressLaunchesTheButton)
{
    VANTOREL_REQUIRE_PROGRAM("kglobalaccel5");
    VANTOREL_REQUIRE_PROGRAM("xdotool");
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    ProgramRun daemon(xvfb.display(), QStringLiteral("xcb"));
    // No crash handler: it would start the daemon again when the test ends it.
    daemon.environment().insert(QStringLiteral("KDE_DEBUG"), QStringLiteral("1"));
    ASSERT_TRUE(daemon.start({QStringLiteral("kglobalaccel5")}));
    const QDBusConnection probe(bus.connect(QStringLiteral("probe")));
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return probe.interface()->isServiceRegistered(QStringLiteral("org.kde.kglobalaccel")).value(); },
        ProgramRun::timeoutMs))
        << daemon.transcript();

    ProgramRun program;
    QDir(program.dir()).mkpath(QStringLiteral("seven"));
    const LaunchMarker mark(program.dir());
    const LaunchMarker seven(program.dir() + QStringLiteral("/seven"));
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), mark.url());
    // Shift on a digit: Plasma 6's daemon reads the press as the shifted symbol (Ctrl+& on a US
    // layout), KF5's as Ctrl+Shift+7; both must fire.
    buttons.add(QStringLiteral("Seven"), QStringLiteral("⌃ + ⇧ + 7"), seven.url());
    ASSERT_TRUE(buttons.writeTo(program.buttonFile()));
    program.enterWaylandSession(QStringLiteral("KDE")); // on the bus, which it took along
    program.start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(program.waitForOutput("✅ Successfully registered shortcut: M")) << program.transcript();
    ASSERT_TRUE(program.waitForOutput("✅ Successfully registered shortcut: 7")) << program.transcript();

    // The program listens once its first action is registered: a press before that is lost.
    const auto pressUntilLaunched = [](const char *keys, const LaunchMarker &marker) {
        for (int attempt = 0; attempt < 20 && marker.launches() == 0; ++attempt) {
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
            runEventLoopUntil([&] { return marker.launches() > 0; }, 1000);
        }
    };
    pressUntilLaunched("super+alt+m", mark);
    EXPECT_EQ(mark.launches(), 1) << program.transcript();
    EXPECT_EQ(seven.launches(), 0);
    pressUntilLaunched("ctrl+shift+7", seven);
    EXPECT_EQ(seven.launches(), 1) << program.transcript() << daemon.transcript();
    EXPECT_EQ(mark.launches(), 1);
    EXPECT_EQ(program.terminate(), 0);
}
} // namespace
