#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <gtest/gtest.h>

// The real program on a private X server with a tray, so that the editor
// stays hidden at start-up and only a second start can show it.
namespace {
constexpr int timeoutMs = 15000;

bool waitUntil(const std::function<bool()> &condition)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

// Whether a visible window matches: xdotool search --onlyvisible <how> <pattern>.
bool windowShown(const QString &how, const QString &pattern)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), how, pattern});
    return search.waitForFinished(5000) && search.exitStatus() == QProcess::NormalExit && search.exitCode() == 0;
}

bool editorShown()
{
    return windowShown(QStringLiteral("--name"), QStringLiteral("^Shortcuts Editor$"));
}

TEST(EndToEndTest, SecondStartShowsTheRunningEditorAndExits)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    for (const char *tool : {"xdotool", "trayer"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh)";
    }
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    environment.insert(QStringLiteral("DISPLAY"), xvfb.display());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    QProcess tray; // QProcess ends its process when it goes
    tray.setProcessEnvironment(environment);
    tray.start(QStringLiteral("trayer"), {QStringLiteral("--SetDockType"), QStringLiteral("true")});
    ASSERT_TRUE(waitUntil([] { return windowShown(QStringLiteral("--class"), QStringLiteral("trayer")); }));

    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VANTOREL_BINARY), {});
    QByteArray output;
    ASSERT_TRUE(waitUntil([&] {
        program.waitForReadyRead(100);
        output += program.readAllStandardOutput();
        return output.contains("🎹 Registering shortcuts for");
    })) << output.toStdString();
    EXPECT_FALSE(editorShown());

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(VANTOREL_BINARY), {});
    ASSERT_TRUE(second.waitForFinished(timeoutMs));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(waitUntil(editorShown));

    QFile entry(dir.filePath(QStringLiteral("config/autostart/org.vantorel.Vantorel.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString binary = QFileInfo(QStringLiteral(VANTOREL_BINARY)).canonicalFilePath();
    EXPECT_TRUE(entry.readAll().contains(("\nExec=" + binary + '\n').toUtf8()));

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(timeoutMs));
    EXPECT_EQ(program.exitCode(), 0);
}

// Another user's file where the instance socket goes: the program neither
// runs unguarded nor leaves silently.
TEST(EndToEndTest, AStartThatCannotClaimTheInstanceSaysWhyAndFails)
{
    QTemporaryDir runtime;
    const QString socket = runtime.filePath(QStringLiteral("vantorel-_97"));
    QFile file(socket);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_EQ(::chown(QFile::encodeName(socket).constData(), 65534, 65534), 0);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), runtime.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VANTOREL_BINARY), {});
    ASSERT_TRUE(program.waitForFinished(timeoutMs));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QString output = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_TRUE(output.contains(QStringLiteral("❌ Cannot start: ") + socket + QStringLiteral(" belongs to user 65534")))
        << output.toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("🎹"))) << "it went on to register hotkeys";
}
} // namespace
