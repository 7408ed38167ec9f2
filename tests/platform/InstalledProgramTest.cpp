#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "TestHttpServer.h"
#include "XTestKeyboard.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

namespace {
// The program as `cmake --install` lays it out under a prefix of its own,
// away from the build folder.
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

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            program.waitForFinished(5000);
        }
    }

    static QString installedPath(const QString &relative) { return prefix->filePath(relative); }

    bool startInstalledProgram()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(installedPath(QStringLiteral("bin/vantorel")), {});
        return program.waitForStarted(5000);
    }

    bool logged(const QByteArray &text, int timeoutMs = 20000)
    {
        return runEventLoopUntil([&] {
            output += program.readAllStandardOutput();
            return output.contains(text);
        }, timeoutMs);
    }

    // The shared objects the running program has mapped.
    QByteArray mappedFiles() const
    {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
        return maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
    }

    static inline QTemporaryDir *prefix = nullptr;
    static inline bool installed = false;
    static inline QByteArray installOutput;

    ButtonHome home;
    XTestKeyboard keyboard;
    QProcess program;
    QByteArray output;
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

TEST_F(InstalledProgramTest, LoadsItsButtonsAndTheWebWindowFromTheInstalledPlugin)
{
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.serve(QStringLiteral("/page"), "<html><body>page</body></html>");
    home.addWebButton(QStringLiteral("page"), QStringLiteral("⌘ + ⌥ + I"), server.url(QStringLiteral("/page")));
    ASSERT_TRUE(home.writeButtonFile());
    ASSERT_TRUE(startInstalledProgram());
    ASSERT_TRUE(logged("📂 Loaded 1 buttons")) << output.constData();
    ASSERT_TRUE(logged("✅ Successfully registered shortcut: I")) << output.constData();
    EXPECT_FALSE(mappedFiles().contains("webwindow.so")) << "the plugin waits for the first web launch";

    keyboard.press({XK_Super_L, XK_Alt_L}, XK_i);
    ASSERT_TRUE(runEventLoopUntil([&] { return !server.requestsFor(QStringLiteral("/page")).isEmpty(); }, 20000))
        << output.constData();
    const QByteArray maps = mappedFiles();
    EXPECT_TRUE(maps.contains(QFile::encodeName(installedPath(QStringLiteral("lib/vantorel/webwindow.so")))))
        << maps.constData();
    EXPECT_FALSE(maps.contains(BUILD_DIRECTORY)) << "nothing comes from the build folder";
}

TEST(InstalledProgramOptions, AnswerHelpAndVersionAndRejectUnknownOptions)
{
    QProcess program;
    const auto run = [&program](const QStringList &arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY")); // information needs no display
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(VANTOREL_BINARY), arguments);
        program.waitForFinished(10000);
        return program.exitCode();
    };
    EXPECT_EQ(run({QStringLiteral("--version")}), 0);
    EXPECT_EQ(program.readAllStandardOutput(), QByteArray("vantorel 0.1.0\n"));
    EXPECT_EQ(run({QStringLiteral("--help")}), 0);
    EXPECT_TRUE(program.readAllStandardOutput().startsWith("Usage: vantorel [options]\n"));
    EXPECT_EQ(run({QStringLiteral("--no-such-option")}), 2);
    EXPECT_TRUE(program.readAllStandardError().contains("Unknown option 'no-such-option'"));
    EXPECT_EQ(run({QStringLiteral("stray")}), 2);
    EXPECT_TRUE(program.readAllStandardError().contains("unexpected argument 'stray'"));
}
} // namespace
