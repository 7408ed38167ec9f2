#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "fake/FakeShortcutPortal.h"

#include <gtest/gtest.h>

namespace {
// The real program in a GNOME Wayland session whose portal offers global shortcuts: a private
// bus with a fake portal on it, no X display. What a real portal does when the user agrees is
// GnomePortalSessionTest's; the fake declines, which a test cannot make GNOME's dialog do.
TEST(PortalSessionTest, ADeclinedBindIsSaidOnceInTheLogAndNotAskedAgain)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    FakeShortcutPortal portal(bus.connect(QStringLiteral("portal")));
    ASSERT_TRUE(portal.isRunning());
    portal.setAnswer(FakeShortcutPortal::Answer::Declined);
    ProgramRun program; // after the bus: it takes the bus's address along
    program.enterWaylandSession(QStringLiteral("GNOME"));
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("One"), QStringLiteral("⌘ + ⌥ + O"), QStringLiteral("file:///bin/true"));
    buttons.add(QStringLiteral("Two"), QStringLiteral("⌘ + ⌥ + T"), QStringLiteral("file:///bin/true"));
    ASSERT_TRUE(buttons.writeTo(program.buttonFile()));

    program.start({QStringLiteral(VANTOREL_BINARY)});
    const QByteArray line = "Portal: the global shortcuts were declined in the desktop's dialog\n";
    ASSERT_TRUE(program.waitForOutput(line)) << program.transcript();
    EXPECT_TRUE(runEventLoopUntil([&] { return program.output().count("❌ Failed to register shortcut: ") == 2; }))
        << program.transcript();
    EXPECT_EQ(program.output().count(line), 1) << program.transcript();
    EXPECT_EQ(portal.bindCount(), 1);
    EXPECT_EQ(program.terminate(), 0);
}
} // namespace
