#include "ButtonFileWriter.h"
#include "KdeShortcutDaemon.h"
#include "LaunchMarker.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "RequiredTool.h"
#include "XvfbServer.h"

#include <QDBusConnection>
#include <QDir>
#include <QKeyCombination>

#include <gtest/gtest.h>

namespace {
// A Plasma Wayland session without a display the program could reach, with KDE's own daemon
// grabbing on a private X server as it does outside Plasma: its shortcuts go through the daemon
// (the calls' wire format and its key matching, Shift with a digit included), a press launches
// its button, and quitting leaves the actions to the user's settings, only inactive.
TEST(KdeSessionTest, WithKdesOwnDaemonAKeyPressLaunchesTheButton)
{
    if (KdeShortcutDaemon::program().isEmpty())
        VANTOREL_SKIP_OR_FAIL("KDE's shortcut daemon (kglobalaccel5 or kglobalacceld) is not installed");
    VANTOREL_REQUIRE_PROGRAM("xdotool");
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    KdeShortcutDaemon daemon(xvfb.display(), QStringLiteral("xcb"));
    ASSERT_TRUE(daemon.start(QDBusConnection(bus.connect(QStringLiteral("probe"))))) << daemon.transcript();

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

    const QStringList component{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"),
                                QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("-o"),
                                QStringLiteral("/component/org_vantorel_Vantorel"), QStringLiteral("-m")};
    EXPECT_EQ(program.runTool(QStringLiteral("gdbus"), component + QStringList{QStringLiteral("org.kde.kglobalaccel.Component.isActive")}),
              QByteArray("(false,)\n"));
    const QByteArray infos = program.runTool(QStringLiteral("gdbus"), component + QStringList{
        QStringLiteral("org.kde.kglobalaccel.Component.allShortcutInfos")}).value_or("(gdbus failed)");
    const int superAltM = QKeyCombination(Qt::MetaModifier | Qt::AltModifier, Qt::Key_M).toCombined();
    EXPECT_TRUE(infos.contains("'Mark'") && infos.contains(QByteArray::number(superAltM))) << infos.constData();
}
} // namespace
