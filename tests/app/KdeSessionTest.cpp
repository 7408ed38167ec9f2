#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "fake/FakeKGlobalAccel.h"

#include <QFile>
#include <QUrl>
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
    const QString marker = program.dir() + QStringLiteral("/launches");
    QFile script(program.dir() + QStringLiteral("/mark.sh"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho launched >> '" + QFile::encodeName(marker) + "'\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    ButtonFileWriter buttons;
    const QUuid id = buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"),
                                 QUrl::fromLocalFile(script.fileName()).toString());
    ASSERT_TRUE(buttons.writeTo(program.buttonFile()));
    const QString action = id.toString(QUuid::WithoutBraces).toUpper();
    const auto launches = [&marker] {
        QFile file(marker);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
    };

    QProcessEnvironment &environment = program.environment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("VANTOREL_HOTKEYS"));
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    program.start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(program.waitForOutput("✅ Successfully registered shortcut")) << program.transcript();
    EXPECT_EQ(daemon.keysOf(QStringLiteral("org.vantorel.Vantorel"), action),
              QKeyCombination(Qt::MetaModifier | Qt::AltModifier, Qt::Key_M).toCombined());

    // The program listens once its first action is registered: a press
    // before that is lost, so press again until one launches.
    for (int attempt = 0; attempt < 20 && launches() == 0; ++attempt) {
        ASSERT_TRUE(daemon.press(action, 77));
        runEventLoopUntil([&] { return launches() > 0; }, 1000);
    }
    EXPECT_EQ(launches(), 1) << program.transcript();
    EXPECT_TRUE(program.output().contains("⌨️ Shortcut pressed with ID: ")) << program.transcript();
    EXPECT_EQ(program.terminate(), 0);
    // Quitting leaves the action to the user's settings, only inactive.
    EXPECT_FALSE(daemon.isActive(QStringLiteral("org.vantorel.Vantorel"), action));
    EXPECT_NE(daemon.keysOf(QStringLiteral("org.vantorel.Vantorel"), action), 0);
}
} // namespace
