#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "HeadlessSway.h"
#include "LaunchMarker.h"
#include "ProgramRun.h"
#include "RequiredTool.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

namespace {
// The real program in a real (headless) sway session, as its user: the
// program binds its buttons over sway's IPC, a key typed into sway runs
// `vantorel --activate ID`, which the running program answers by launching
// the button.
class SwaySessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        VANTOREL_REQUIRE_PROGRAM("sway");
        VANTOREL_REQUIRE_PROGRAM("swaymsg");
        VANTOREL_REQUIRE_PROGRAM("wtype");
        VANTOREL_REQUIRE_PROGRAM("dbus-daemon");
        if (::geteuid() == 0)
            VANTOREL_REQUIRE_PROGRAM("setpriv");
        program = std::make_unique<ProgramRun>();
        marker = std::make_unique<LaunchMarker>(program->dir());
        // The session's own bus, run by the session's user; no system bus.
        const QString dir = program->dir();
        program->environment().insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), HeadlessSway::busAddress(dir));
        program->environment().insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                                      QStringLiteral("unix:path=") + dir + QStringLiteral("/no-system-bus"));
        program->enterWaylandSession(QStringLiteral("sway"));
    }

    void TearDown() override
    {
        if (program && program->process().state() != QProcess::NotRunning) {
            EXPECT_EQ(program->terminate(), 0) << program->transcript();
        }
        sway.reset();
    }

    // Starts sway with this config and the session's bus, both as the
    // session's user, with everything in the program's folder handed to it.
    void startSession(const QString &config)
    {
        sway = std::make_unique<HeadlessSway>(program->dir(), config, program->environment());
        ASSERT_TRUE(sway->isRunning()) << sway->error().toStdString();
        program->environment().insert(QStringLiteral("WAYLAND_DISPLAY"), sway->waylandDisplay());
        program->environment().insert(QStringLiteral("SWAYSOCK"), sway->socketPath());
    }

    void startProgram()
    {
        ASSERT_TRUE(HeadlessSway::handOver(program->dir()));
        ASSERT_TRUE(program->start(HeadlessSway::asSessionUser() + QStringList{QStringLiteral(VANTOREL_BINARY)}));
    }

    bool typeSuperAltM()
    {
        return sway->type({QStringLiteral("-M"), QStringLiteral("logo"), QStringLiteral("-M"), QStringLiteral("alt"),
                           QStringLiteral("m"), QStringLiteral("-m"), QStringLiteral("alt"), QStringLiteral("-m"),
                           QStringLiteral("logo")});
    }

    std::unique_ptr<ProgramRun> program;
    std::unique_ptr<LaunchMarker> marker;
    std::unique_ptr<HeadlessSway> sway;
};

TEST_F(SwaySessionTest, AKeyTypedIntoSwayLaunchesTheButtonAlsoAfterAReloadAndNothingStaysWhenTheProgramQuits)
{
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), marker->url());
    buttons.add(QStringLiteral("Terminal"), QStringLiteral("⌘ + Return"), marker->url());
    buttons.add(QStringLiteral("Tool"), QStringLiteral("⌘ + ⌥ + T"), marker->url());
    ASSERT_TRUE(buttons.writeTo(program->buttonFile()));
    ASSERT_TRUE(QDir(program->dir()).mkpath(QStringLiteral("sway.d")));
    QFile included(program->dir() + QStringLiteral("/sway.d/50-tools.conf"));
    ASSERT_TRUE(included.open(QIODevice::WriteOnly));
    included.write("bindsym $mod+Mod1+t exec tool\n");
    included.close();
    ASSERT_NO_FATAL_FAILURE(startSession(QStringLiteral("xwayland disable\n"
                                                         "set $mod Mod4\n"
                                                         "bindsym $mod+Return exec foot\n"
                                                         "include sway.d/*.conf\n")));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(program->waitForOutput("✅ Successfully registered shortcut: M")) << program->transcript();
    EXPECT_TRUE(program->waitForOutput("Mod4+Return is bound in your sway config to: exec foot"))
        << program->transcript();
    EXPECT_TRUE(program->waitForOutput("Mod4+Mod1+t is bound in your sway config to: exec tool"))
        << program->transcript();
    EXPECT_TRUE(program->output().contains("sway: binding shortcuts over sway's IPC at ")) << program->transcript();

    ASSERT_TRUE(marker->pressUntil(1, [this] { return typeSuperAltM(); })) << program->transcript();

    // A reload drops what was bound at run time; the program binds again.
    const auto [reloadStatus, reloadReply] = sway->message({QStringLiteral("reload")});
    ASSERT_EQ(reloadStatus, 0) << reloadReply.toStdString();
    ASSERT_TRUE(program->waitForOutput("sway: the configuration was reloaded; binding Vantorel's shortcuts again"))
        << program->transcript();
    EXPECT_TRUE(marker->pressUntil(2, [this] { return typeSuperAltM(); })) << program->transcript();

    EXPECT_EQ(program->terminate(), 0) << program->transcript();
    // Nothing of the program's is left in sway: it knows no such binding
    // (asked first: a binding left behind would start the program again at
    // the next press)…
    const auto [unbindStatus, unbindReply] = sway->message({QStringLiteral("unbindsym Mod4+Mod1+m")});
    EXPECT_NE(unbindStatus, 0);
    EXPECT_TRUE(unbindReply.contains(QLatin1String("Could not find binding"))) << unbindReply.toStdString();
    // …a press launches nothing, and the config's own binding is still there.
    ASSERT_TRUE(typeSuperAltM());
    runEventLoopUntil([&] { return marker->launches() > 2; }, 2000);
    EXPECT_EQ(marker->launches(), 2);
    const auto [configStatus, configReply] = sway->message({QStringLiteral("unbindsym Mod4+Return")});
    EXPECT_EQ(configStatus, 0) << configReply.toStdString();
}
} // namespace
