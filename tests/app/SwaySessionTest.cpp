#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "HeadlessSway.h"
#include "LaunchMarker.h"
#include "ProgramRun.h"
#include "RequiredTool.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {
bool typeSuperAltM(HeadlessSway &sway)
{
    return sway.type({QStringLiteral("-M"), QStringLiteral("logo"), QStringLiteral("-M"), QStringLiteral("alt"),
                      QStringLiteral("m"), QStringLiteral("-m"), QStringLiteral("alt"), QStringLiteral("-m"),
                      QStringLiteral("logo")});
}

// The real program in a real (headless) sway session, as its user: the
// program binds its buttons over sway's IPC, a key typed into sway runs
// `vantorel --activate ID`, which the running program answers by launching
// the button.
TEST(SwaySessionTest, AKeyTypedIntoSwayLaunchesTheButtonAlsoAfterAReloadAndNothingStaysWhenTheProgramQuits)
{
    if (const QString missing = HeadlessSway::missingTool(); !missing.isEmpty())
        VANTOREL_SKIP_OR_FAIL(missing.toStdString());
    ProgramRun program;
    const LaunchMarker marker(program.dir());
    // The session's own bus, run by the session's user; no system bus.
    program.environment().insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), HeadlessSway::busAddress(program.dir()));
    program.environment().insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                                 QStringLiteral("unix:path=") + program.dir() + QStringLiteral("/no-system-bus"));
    program.enterWaylandSession(QStringLiteral("sway"));
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), marker.url());
    buttons.add(QStringLiteral("Terminal"), QStringLiteral("⌘ + Return"), marker.url());
    buttons.add(QStringLiteral("Tool"), QStringLiteral("⌘ + ⌥ + T"), marker.url());
    ASSERT_TRUE(buttons.writeTo(program.buttonFile()));
    ASSERT_TRUE(QDir(program.dir()).mkpath(QStringLiteral("sway.d")));
    QFile included(program.dir() + QStringLiteral("/sway.d/50-tools.conf"));
    ASSERT_TRUE(included.open(QIODevice::WriteOnly));
    included.write("bindsym $mod+Mod1+t exec tool\n");
    included.close();

    // sway and the session's bus run as the session's user, with everything in the program's
    // folder handed to it; so does the program.
    HeadlessSway sway(program.dir(),
                      QStringLiteral("xwayland disable\nset $mod Mod4\nbindsym $mod+Return exec foot\n"
                                     "include sway.d/*.conf\n"),
                      program.environment());
    ASSERT_TRUE(sway.isRunning()) << sway.error().toStdString();
    program.environment().insert(QStringLiteral("WAYLAND_DISPLAY"), sway.waylandDisplay());
    program.environment().insert(QStringLiteral("SWAYSOCK"), sway.socketPath());
    ASSERT_TRUE(HeadlessSway::handOver(program.dir()));
    ASSERT_TRUE(program.start(HeadlessSway::asSessionUser() + QStringList{QStringLiteral(VANTOREL_BINARY)}));
    ASSERT_TRUE(program.waitForOutput("✅ Successfully registered shortcut: M")) << program.transcript();
    EXPECT_TRUE(program.waitForOutput("Mod4+Return is bound in your sway config to: exec foot"))
        << program.transcript();
    EXPECT_TRUE(program.waitForOutput("Mod4+Mod1+t is bound in your sway config to: exec tool"))
        << program.transcript();
    EXPECT_TRUE(program.output().contains("sway: binding shortcuts over sway's IPC at ")) << program.transcript();

    ASSERT_TRUE(marker.pressUntil(1, [&] { return typeSuperAltM(sway); })) << program.transcript();

    // A reload drops what was bound at run time; the program binds again.
    const auto [reloadStatus, reloadReply] = sway.message({QStringLiteral("reload")});
    ASSERT_EQ(reloadStatus, 0) << reloadReply.toStdString();
    ASSERT_TRUE(program.waitForOutput("sway: the configuration was reloaded; binding Vantorel's shortcuts again"))
        << program.transcript();
    EXPECT_TRUE(marker.pressUntil(2, [&] { return typeSuperAltM(sway); })) << program.transcript();

    EXPECT_EQ(program.terminate(), 0) << program.transcript();
    // Nothing of the program's is left in sway: it knows no such binding
    // (asked first: a binding left behind would start the program again at
    // the next press)…
    const auto [unbindStatus, unbindReply] = sway.message({QStringLiteral("unbindsym Mod4+Mod1+m")});
    EXPECT_NE(unbindStatus, 0);
    EXPECT_TRUE(unbindReply.contains(QLatin1String("Could not find binding"))) << unbindReply.toStdString();
    // …a press launches nothing, and the config's own binding is still there.
    EXPECT_TRUE(marker.pressLaunchesNothing([&] { return typeSuperAltM(sway); }));
    const auto [configStatus, configReply] = sway.message({QStringLiteral("unbindsym Mod4+Return")});
    EXPECT_EQ(configStatus, 0) << configReply.toStdString();
}
} // namespace
