#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "TestHttpServer.h"
#include "XTestKeyboard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUrl>

#include <chrono>
#include <csignal>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

namespace {
// The program as `cmake --install` lays it out under a prefix of its own,
// away from the build folder, with a home of its own, on the shared X server
// where a second client types.
class InstalledProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        prefix = new QTemporaryDir;
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(BUILD_DIRECTORY), QStringLiteral("--prefix"),
                       prefix->path()});
        installed = install.waitForFinished(120000) && install.exitCode() == 0;
        installOutput = install.readAll();
    }
    static void TearDownTestSuite() { delete prefix; }

    void SetUp() override
    {
        ASSERT_TRUE(installed) << installOutput.constData();
        ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
    }

    static QString installedPath(const QString &relative) { return prefix->filePath(relative); }

    // Starts the installed program with the home and waits for the line that says it is ready.
    ::testing::AssertionResult startIn(const char *readyLine)
    {
        run.environment().insert(QStringLiteral("HOME"), home.path());
        run.start({installedPath(QStringLiteral("bin/vantorel"))});
        if (run.waitForOutput(readyLine))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << run.transcript();
    }

    // The shared objects the running program has mapped.
    QByteArray mappedFiles() { return readFile(QStringLiteral("/proc/%1/maps").arg(run.process().processId())); }

    static inline QTemporaryDir *prefix = nullptr;
    static inline bool installed = false;
    static inline QByteArray installOutput;

    ButtonHome home;
    XTestKeyboard keyboard;
    ProgramRun run;
};

TEST_F(InstalledProgramTest, PutsTheDesktopFilesWhereTheDesktopLooks)
{
    for (const char *relative : {"share/applications/org.vantorel.Vantorel.desktop",
                                 "share/metainfo/org.vantorel.Vantorel.metainfo.xml",
                                 "share/icons/hicolor/scalable/apps/org.vantorel.Vantorel.svg",
                                 "share/icons/hicolor/48x48/apps/org.vantorel.Vantorel.png",
                                 "share/icons/hicolor/256x256/apps/org.vantorel.Vantorel.png",
                                 "share/man/man1/vantorel.1.gz"})
        EXPECT_TRUE(QFileInfo(installedPath(QLatin1String(relative))).isFile()) << relative;
    EXPECT_TRUE(QFileInfo(installedPath(QStringLiteral("bin/vantorel"))).isExecutable());
}

TEST_F(InstalledProgramTest, LoadsItsButtonsAndTogglesTheWebWindowFromTheInstalledPlugin)
{
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    // The page and its worker try to forge the program's lines.
    server.serve(QStringLiteral("/page"), "<html><body>page<script>"
                                          "console.error('x\\r\\n\u2705 Successfully registered shortcut: FORGED');"
                                          "new Worker('/worker.js');</script></body></html>");
    server.serve(QStringLiteral("/worker.js"), "console.error('w\\r\\n\u2705 Successfully registered shortcut: FORGED');",
                 "text/javascript");
    home.addWebButton(QStringLiteral("page"), QStringLiteral("⌘ + ⌥ + I"), server.url(QStringLiteral("/page")));
    ASSERT_TRUE(home.writeButtonFile());
    ASSERT_TRUE(startIn("📂 Loaded 1 buttons"));
    ASSERT_TRUE(run.waitForOutput("✅ Successfully registered shortcut: I")) << run.transcript();
    EXPECT_FALSE(mappedFiles().contains("webwindow.so")) << "the plugin waits for the first web launch";

    const auto pageRequests = [&] { return server.requestsFor(QStringLiteral("/page")).size(); };
    const auto press = [&](int launches) {
        keyboard.press({XK_Super_L, XK_Alt_L}, XK_i);
        return runEventLoopUntil([&] { return run.output().count("🌐 Launching web URL: ") == launches; }, 20000);
    };
    ASSERT_TRUE(press(1) && runEventLoopUntil([&] { return pageRequests() == 1; }, 20000)) << run.transcript();
    const QByteArray maps = mappedFiles();
    EXPECT_TRUE(maps.contains(QFile::encodeName(installedPath(QStringLiteral("lib/vantorel/webwindow.so")))))
        << maps.constData();
    EXPECT_FALSE(maps.contains(BUILD_DIRECTORY)) << "nothing comes from the build folder";
    // Marked as the page's, one line each, on whichever stream.
    EXPECT_TRUE(run.waitForOutput("WebWindow: page console: x\\r\\n\u2705 Successfully registered shortcut: FORGED\n"))
        << run.transcript();
    EXPECT_TRUE(run.waitForOutput("WebWindow: page console: w\\r\\n")) << run.transcript();
    for (const QByteArray &stream : {run.output(), run.errors()}) {
        for (const char *lineBreak : {"\n", "\r"})
            EXPECT_FALSE(stream.contains(lineBreak + QByteArray("\u2705 Successfully registered shortcut: FORGED")))
                << run.transcript();
    }

    // One web window serves every launch: the same hotkey while the page
    // shows closes it, a third press shows it again with a fresh load.
    ASSERT_TRUE(press(2)) << run.transcript();
    EXPECT_FALSE(runEventLoopUntil([&] { return pageRequests() > 1; }, 1000)) << "the second press reloaded";
    ASSERT_TRUE(press(3)) << run.transcript();
    EXPECT_TRUE(runEventLoopUntil([&] { return pageRequests() == 2; }, 20000)) << run.transcript();
}

// The real program, started the way a user's session starts it. Its button
// file is a link into a synced folder; it is replaced there by a rename, then
// written in place, while the program runs: each new button's hotkey works
// within a second, without a restart; SIGTERM ends it cleanly.
TEST_F(InstalledProgramTest, AButtonFileChangedOnDiskIsTakenInWhileRunning)
{
    QTemporaryDir synced;
    const QString target = synced.filePath(QStringLiteral("buttons.json"));
    home.addButton(QStringLiteral("first"), QStringLiteral("⌘ + ⌥ + E"));
    ASSERT_TRUE(writeFile(target, home.buttonFileBytes()));
    ASSERT_TRUE(QFile::link(target, home.path() + QStringLiteral("/.vantorel")));
    ASSERT_TRUE(startIn("✅ Successfully registered shortcut: E"));

    home.addButton(QStringLiteral("renamed"), QStringLiteral("⌘ + ⌥ + J"));
    ASSERT_TRUE(writeFile(target + QStringLiteral(".part"), home.buttonFileBytes()));
    ASSERT_TRUE(QFile::rename(target, target + QStringLiteral(".old")));
    ASSERT_TRUE(QFile::rename(target + QStringLiteral(".part"), target));
    ASSERT_TRUE(run.waitForOutput("✅ Successfully registered shortcut: J", 1000)) << run.transcript();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_j);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("renamed")); })) << run.transcript();

    home.addButton(QStringLiteral("inPlace"), QStringLiteral("⌘ + ⌥ + K"));
    ASSERT_TRUE(writeFile(target, home.buttonFileBytes()));
    ASSERT_TRUE(run.waitForOutput("✅ Successfully registered shortcut: K", 1000)) << run.transcript();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_k);
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("inPlace")); })) << run.transcript();
    EXPECT_EQ(run.output().count("🔄 Reloaded"), 2) << run.transcript();
    EXPECT_EQ(run.terminate(), 0);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_k)) << "its grabs went with it";
}

// A combination another program held at start is free when the machine
// wakes: logind's word that it woke makes the program grab it then.
TEST_F(InstalledProgramTest, WakingFromSuspendGrabsWhatIsFreeNow)
{
    PrivateSessionBus systemBus; // stands in for the system bus, with logind on it
    ASSERT_TRUE(systemBus.isRunning()) << systemBus.error().toStdString();
    QDBusConnection logind(systemBus.connect(QStringLiteral("fake-logind")));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    const auto prepareForSleep = [&](bool goingToSleep) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << goingToSleep;
        return logind.send(signal);
    };
    XTestKeyboard otherClient;
    ASSERT_TRUE(otherClient.grab(xSuperAlt, XK_w));
    home.addButton(QStringLiteral("woken"), QStringLiteral("⌘ + ⌥ + W"));
    ASSERT_TRUE(home.writeButtonFile());
    run.environment().insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBus.address());
    ASSERT_TRUE(startIn("❌ Failed to register shortcut: W"));
    // The server announces a keyboard change when XTest's keyboard first
    // types; let that pass while the combination is still held.
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
    runEventLoopUntil([] { return false; }, 200);
    otherClient.ungrab(xSuperAlt, XK_w);

    ASSERT_TRUE(prepareForSleep(true));
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
    EXPECT_FALSE(runEventLoopUntil([&] { return home.ran(QStringLiteral("woken")); }, 300))
        << "going to sleep changes nothing";
    ASSERT_TRUE(prepareForSleep(false));
    EXPECT_TRUE(runEventLoopUntil([&] {
        keyboard.press({XK_Super_L, XK_Alt_L}, XK_w);
        return home.ran(QStringLiteral("woken"));
    })) << run.transcript();
    EXPECT_EQ(run.terminate(), 0);
}

// The `vantorel` command answers help and version itself unless other options
// come along, which it hands to the program: the same texts either way.
TEST(InstalledProgramOptions, AnswerHelpAndVersionAndRejectUnknownOptions)
{
    // The argument, the exit code, and how standard output starts (0) or
    // what standard error says (2).
    const std::tuple<const char *, int, QByteArray> cases[] = {
        {"--version", 0, "vantorel 0.1.0\n"},
        {"--help", 0, "Usage: vantorel [options]\n"},
        {"--no-such-option", 2, "Unknown option 'no-such-option'"},
        {"stray", 2, "unexpected argument 'stray'"},
    };
    for (const auto &[argument, exitCode, text] : cases) {
        ProgramRun run, handedOver;
        run.environment().remove(QStringLiteral("DISPLAY")); // information needs no display
        run.start({QStringLiteral(VANTOREL_BINARY), QLatin1String(argument)});
        EXPECT_EQ(run.waitForExit(), exitCode) << argument;
        EXPECT_TRUE(exitCode == 0 ? run.output().startsWith(text) : run.errors().contains(text)) << run.transcript();
        handedOver.start({QStringLiteral(VANTOREL_BINARY), QLatin1String(argument), QStringLiteral("-platform"),
                          QStringLiteral("offscreen")});
        EXPECT_EQ(handedOver.waitForExit(), exitCode) << argument;
        EXPECT_EQ(handedOver.output(), run.output()) << argument;
    }
}

// A press made while the program still builds its QApplication starts its
// target at once, and the copy it started is known as running like any
// other: a later press, with "Bring to front if running", brings its window
// forward instead of starting another copy. The window is told by its
// process alone (its class is another program's name).
TEST_F(InstalledProgramTest, AProgramStartedByAPressDuringStartUpIsKnownAsRunning)
{
    const QString script = home.path() + QStringLiteral("/early.sh"), pidFile = home.path() + QStringLiteral("/early.pids");
    ASSERT_TRUE(writeFile(script, "#!/bin/sh\necho $$ >> '" + QFile::encodeName(pidFile) + "'\nexec sleep 60\n", true));
    home.addWebButton(QStringLiteral("early"), QStringLiteral("⌘ + ⌥ + E"), QUrl::fromLocalFile(script).toString());
    ASSERT_TRUE(home.writeButtonFile());
    const auto copies = [&pidFile] {
        QList<qint64> pids;
        for (const QByteArray &line : readFile(pidFile).split('\n'))
            if (!line.isEmpty())
                pids.append(line.toLongLong());
        return pids;
    };
    const auto endCopiesAfterwards = qScopeGuard([&copies] {
        for (const qint64 pid : copies())
            ::kill(pid_t(pid), SIGTERM);
    });

    // Pressed from the spawn on until a copy runs. With the X server's own plugin, building the QApplication takes long
    // enough for the first press that works to come meanwhile.
    run.environment().insert(QStringLiteral("HOME"), home.path());
    run.environment().insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    ASSERT_TRUE(run.start({installedPath(QStringLiteral("bin/vantorel"))}));
    QElapsedTimer sinceStart;
    sinceStart.start();
    while (copies().isEmpty() && sinceStart.elapsed() < 5000) {
        keyboard.press({XK_Super_L, XK_Alt_L}, XK_e);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(copies().isEmpty()) << run.transcript();
    runEventLoopUntil([] { return false; }, 300); // presses still on their way land
    ASSERT_TRUE(run.waitForOutput("📱 Launching app: ")) << run.transcript();

    // Play a window manager that lists one window of the first copy.
    keyboard.setRootWindows("_NET_CLIENT_LIST", {keyboard.clientWindow("other\0Other", uint32_t(copies().first()))});

    const qsizetype started = copies().size();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_e);
    EXPECT_TRUE(run.waitForOutput("🪟 Brought early to the front", 3000)) << run.transcript();
    EXPECT_EQ(copies().size(), started) << "the press started another copy";
    keyboard.setRootWindows("_NET_CLIENT_LIST", {});
    EXPECT_EQ(run.terminate(), 0);
}
} // namespace
