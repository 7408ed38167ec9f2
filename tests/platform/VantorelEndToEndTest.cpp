#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "XTestKeyboard.h"
#include "TestHttpServer.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

// The real program, started the way a user's session starts it, with
// hotkeys pressed on the X server it runs on.
class VantorelEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString(); }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            program.waitForFinished(5000);
        }
    }

    // Starts the program and waits until it has tried every button.
    bool startProgram(int buttons)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The web engine refuses to run as root (as tests do) with its sandbox.
        environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(VANTOREL_BINARY), {});
        if (!program.waitForStarted(5000))
            return false;
        return runEventLoopUntil([&] {
            output += program.readAllStandardOutput();
            return output.count("Successfully registered shortcut") + output.count("Failed to register shortcut")
                >= buttons;
        }, 10000);
    }

    ButtonHome home;
    XTestKeyboard keyboard;
    QProcess program;
    QByteArray output;
};

TEST_F(VantorelEndToEndTest, AHotkeyLaunchesItsButtonScriptUntilTerminateEndsItCleanly)
{
    home.addButton(QStringLiteral("editor"), QStringLiteral("⌘ + ⌥ + E"));
    ASSERT_TRUE(home.writeButtonFile());
    ASSERT_TRUE(startProgram(1)) << output.constData();

    keyboard.press({XK_Super_L, XK_Alt_L}, XK_e);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("editor")); })) << output.constData();

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_e)) << "its grabs went with it";
}

TEST_F(VantorelEndToEndTest, AWebHotkeyTogglesItsPageInTheWebWindow)
{
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.serve(QStringLiteral("/page"), "<html><body>page</body></html>");
    home.addWebButton(QStringLiteral("page"), QStringLiteral("⌘ + ⌥ + W"), server.url(QStringLiteral("/page")));
    ASSERT_TRUE(home.writeButtonFile());
    ASSERT_TRUE(startProgram(1)) << output.constData();

    const auto pageRequests = [&] { return server.requestsFor(QStringLiteral("/page")).size(); };
    const auto logged = [&](const QByteArray &line) {
        return runEventLoopUntil([&] {
            output += program.readAllStandardOutput();
            return output.contains(line);
        }, 20000);
    };

    keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
    ASSERT_TRUE(runEventLoopUntil([&] { return pageRequests() == 1; }, 20000)) << output.constData();
    EXPECT_EQ(server.requestsFor(QStringLiteral("/page")).first(), QStringLiteral("/page?scrivara-mac-version=2"));

    // The same hotkey while the page shows closes the window; a third press
    // shows it again with a fresh load.
    output.clear();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
    ASSERT_TRUE(logged("🌐 Launching web URL: ")) << output.constData();
    EXPECT_FALSE(runEventLoopUntil([&] { return pageRequests() > 1; }, 1000)) << "the second press reloaded";
    output.clear();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
    ASSERT_TRUE(logged("🌐 Launching web URL: ")) << output.constData();
    EXPECT_TRUE(runEventLoopUntil([&] { return pageRequests() == 2; }, 20000)) << output.constData();
    EXPECT_FALSE(runEventLoopUntil([&] { return pageRequests() > 2; }, 300));
}
