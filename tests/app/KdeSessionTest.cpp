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
    EXPECT_TRUE(marker.pressUntil(1, [&] { return daemon.press(action, 77); }, 20, 1000)) << program.transcript();
    // The launch can show before the log line has come through the pipe.
    EXPECT_TRUE(program.waitForOutput("⌨️ Shortcut pressed with ID: ")) << program.transcript();
    EXPECT_EQ(program.terminate(), 0);
    // Quitting leaves the action to the user's settings, only inactive.
    EXPECT_FALSE(daemon.isActive(QStringLiteral("org.vantorel.Vantorel"), action));
    EXPECT_EQ(daemon.keysOf(QStringLiteral("org.vantorel.Vantorel"), action),
              QKeyCombination(Qt::MetaModifier | Qt::AltModifier, Qt::Key_M).toCombined());
}

// KDE's shortcut daemon on this system: KF5's kglobalaccel5 on PATH, or
// Plasma 6's kglobalacceld in the library's libexec folder (not on PATH).
QString kdeShortcutDaemon()
{
    const QString kf5 = QStandardPaths::findExecutable(QStringLiteral("kglobalaccel5"));
    if (!kf5.isEmpty())
        return kf5;
    QStringList libexec{QStringLiteral("/usr/libexec")};
    for (const QString &multiarch : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        libexec.prepend(QStringLiteral("/usr/lib/") + multiarch + QStringLiteral("/libexec"));
    return QStandardPaths::findExecutable(QStringLiteral("kglobalacceld"), libexec);
}

// KDE's own daemon, grabbing on a private X server as it does outside
// Plasma: checks the calls' wire format and its key matching against the
// real thing, Shift with a digit included.
TEST(KdeSessionTest, WithKdesOwnDaemonAKeyPressLaunchesTheButton)
{
    const QString daemonProgram = kdeShortcutDaemon();
    if (daemonProgram.isEmpty())
        VANTOREL_SKIP_OR_FAIL("KDE's shortcut daemon (kglobalaccel5 or kglobalacceld) is not installed");
    VANTOREL_REQUIRE_PROGRAM("xdotool");
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    ProgramRun daemon(xvfb.display(), QStringLiteral("xcb"));
    // No crash handler: it would start the daemon again when the test ends it.
    daemon.environment().insert(QStringLiteral("KDE_DEBUG"), QStringLiteral("1"));
    ASSERT_TRUE(daemon.start({daemonProgram}));
    const QDBusConnection probe(bus.connect(QStringLiteral("probe")));
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return probe.interface()->isServiceRegistered(QStringLiteral("org.kde.kglobalaccel")).value(); },
        ProgramRun::timeoutMs))
        << daemon.transcript();

    ProgramRun program;
    const LaunchMarker marker(program.dir());
    ASSERT_TRUE(QDir(program.dir()).mkdir(QStringLiteral("seven")));
    const LaunchMarker sevenMarker(program.dir() + QStringLiteral("/seven"));
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), marker.url());
    buttons.add(QStringLiteral("Seven"), QStringLiteral("⌃ + ⇧ + 7"), sevenMarker.url());
    ASSERT_TRUE(buttons.writeTo(program.buttonFile()));
    program.enterWaylandSession(QStringLiteral("KDE")); // on the bus, which it took along
    program.start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(program.waitForOutput("✅ Successfully registered shortcut: M")) << program.transcript();
    ASSERT_TRUE(program.waitForOutput("✅ Successfully registered shortcut: 7")) << program.transcript();

    const auto xdotool = [](const char *keys) {
        return [keys] { return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QLatin1String(keys)}) == 0; };
    };
    EXPECT_TRUE(marker.pressUntil(1, xdotool("super+alt+m"), 20, 1000)) << program.transcript();
    EXPECT_EQ(sevenMarker.launches(), 0) << "a press launches only its own button";
    EXPECT_TRUE(sevenMarker.pressUntil(1, xdotool("ctrl+shift+7"), 20, 1000)) << program.transcript() << daemon.transcript();
    EXPECT_EQ(marker.launches(), 1);
    EXPECT_EQ(program.terminate(), 0);
}
} // namespace
