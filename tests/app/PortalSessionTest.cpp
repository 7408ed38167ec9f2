#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "fake/FakeShortcutPortal.h"

#include <QFile>
#include <QUrl>

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
        QProcessEnvironment &environment = program->environment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("VANTOREL_HOTKEYS"));
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
        marker = program->dir() + QStringLiteral("/launches");
        QFile script(program->dir() + QStringLiteral("/mark.sh"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho launched >> '" + QFile::encodeName(marker) + "'\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        target = QUrl::fromLocalFile(script.fileName()).toString();
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

    int launches() const
    {
        QFile file(marker);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    PrivateSessionBus bus;
    std::unique_ptr<FakeShortcutPortal> portal;
    std::unique_ptr<ProgramRun> program;
    QString marker;
    QString target;
};

TEST_F(PortalSessionTest, AnActivationFromThePortalLaunchesTheButton)
{
    ButtonFileWriter buttons;
    const QUuid id = buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), target);
    ASSERT_TRUE(buttons.writeTo(program->buttonFile()));
    program->start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(program->waitForOutput("✅ Successfully registered shortcut")) << program->transcript();
    ASSERT_EQ(portal->lastBound().size(), 1);
    EXPECT_EQ(portal->lastBound()[0].properties.value(QStringLiteral("preferred_trigger")).toString(),
              QStringLiteral("LOGO+ALT+m"));

    portal->activate(portal->lastBound()[0].id, 1000);
    EXPECT_TRUE(runEventLoopUntil([&] { return launches() == 1; })) << program->transcript();
    EXPECT_TRUE(program->waitForOutput("⌨️ Shortcut pressed with ID: ")) << program->transcript();
    EXPECT_EQ(portal->lastBound()[0].id, id.toString(QUuid::WithoutBraces).toUpper());
}

TEST_F(PortalSessionTest, ADeclinedBindIsSaidOnceInTheLog)
{
    portal->setAnswer(FakeShortcutPortal::Answer::Declined);
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("One"), QStringLiteral("⌘ + ⌥ + O"), target);
    buttons.add(QStringLiteral("Two"), QStringLiteral("⌘ + ⌥ + T"), target);
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
