#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "LaunchMarker.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "fake/FakeShortcutPortal.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
// The real program in a GNOME Wayland session whose portal offers global
// shortcuts: a private bus with the fake portal on it, no X display.
class PortalSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        portal = std::make_unique<FakeShortcutPortal>(bus.connect(QStringLiteral("portal")));
        ASSERT_TRUE(portal->isRunning());
        program = std::make_unique<ProgramRun>(); // after the bus: it takes the bus's address along
        program->enterWaylandSession(QStringLiteral("GNOME"));
        marker = std::make_unique<LaunchMarker>(program->dir());
    }

    void TearDown() override
    {
        if (program) {
            EXPECT_EQ(program->terminate(), 0);
        }
        program.reset();
        portal.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    }

    PrivateSessionBus bus;
    std::unique_ptr<FakeShortcutPortal> portal;
    std::unique_ptr<ProgramRun> program;
    std::unique_ptr<LaunchMarker> marker;
};

TEST_F(PortalSessionTest, AnActivationFromThePortalLaunchesTheButton)
{
    ButtonFileWriter buttons;
    const QUuid id = buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), marker->url());
    ASSERT_TRUE(buttons.writeTo(program->buttonFile()));
    program->start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(program->waitForOutput("✅ Successfully registered shortcut")) << program->transcript();
    ASSERT_EQ(portal->lastBound().size(), 1);
    EXPECT_EQ(portal->lastBound()[0].properties.value(QStringLiteral("preferred_trigger")).toString(),
              QStringLiteral("LOGO+ALT+m"));

    portal->activate(portal->lastBound()[0].id, 1000);
    EXPECT_TRUE(runEventLoopUntil([&] { return marker->launches() == 1; })) << program->transcript();
    EXPECT_TRUE(program->waitForOutput("⌨️ Shortcut pressed with ID: ")) << program->transcript();
    EXPECT_EQ(portal->lastBound()[0].id, id.toString(QUuid::WithoutBraces).toUpper());
}

TEST_F(PortalSessionTest, ADeclinedBindIsSaidOnceInTheLog)
{
    portal->setAnswer(FakeShortcutPortal::Answer::Declined);
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("One"), QStringLiteral("⌘ + ⌥ + O"), marker->url());
    buttons.add(QStringLiteral("Two"), QStringLiteral("⌘ + ⌥ + T"), marker->url());
    ASSERT_TRUE(buttons.writeTo(program->buttonFile()));
    program->start({QStringLiteral(VANTOREL_BINARY)});
    const QByteArray line = "Portal: the global shortcuts were declined in the desktop's dialog\n";
    ASSERT_TRUE(program->waitForOutput(line)) << program->transcript();
    EXPECT_TRUE(runEventLoopUntil([&] { return program->output().count("❌ Failed to register shortcut: ") == 2; }))
        << program->transcript();
    EXPECT_EQ(program->output().count(line), 1) << program->transcript();
    EXPECT_EQ(portal->bindCount(), 1);
}
} // namespace
