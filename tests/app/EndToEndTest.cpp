#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

// The real program on a private X server: a second start shows the running
// instance's editor and leaves; every start writes the autostart entry.
namespace {
constexpr int timeoutMs = 15000;

bool waitUntil(const std::function<bool()> &condition, int ms = timeoutMs)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

bool editorVisible()
{
    QProcess search;
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                  QStringLiteral("^Shortcuts Editor$")});
    search.waitForFinished(5000);
    return search.exitStatus() == QProcess::NormalExit && search.exitCode() == 0;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "xdotool is not installed (scripts/install-deps.sh)";
        environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        environment.insert(QStringLiteral("DISPLAY"), xvfb.display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        startTray();
    }

    void TearDown() override
    {
        for (QProcess *process : {&program, &tray}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(5000))
                    process->kill();
            }
        }
    }

    // With a tray the editor stays hidden at start-up, so only the second
    // start can have shown it.
    void startTray()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            return;
        tray.setProcessEnvironment(environment);
        tray.start(QStringLiteral("trayer"),
                   {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                    QStringLiteral("--widthtype"), QStringLiteral("pixel"), QStringLiteral("--width"),
                    QStringLiteral("120"), QStringLiteral("--height"), QStringLiteral("28"),
                    QStringLiteral("--SetDockType"), QStringLiteral("true")});
        tray.waitForStarted(5000);
        QThread::msleep(500);
    }

    XvfbServer xvfb;
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess tray;
    QProcess program;
};

TEST_F(EndToEndTest, SecondStartShowsTheRunningEditorAndExitsCleanly)
{
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VANTOREL_BINARY), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    QByteArray firstOutput;
    ASSERT_TRUE(waitUntil([&] {
        program.waitForReadyRead(100);
        firstOutput += program.readAllStandardOutput();
        return firstOutput.contains("🎹 Registering shortcuts for");
    })) << firstOutput.toStdString();
    const bool shownAtStart = editorVisible();
    if (tray.state() == QProcess::Running) {
        EXPECT_FALSE(shownAtStart);
    }

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(VANTOREL_BINARY), {});
    ASSERT_TRUE(second.waitForFinished(timeoutMs));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(second.readAllStandardOutput().contains("HotKeyManager initialized")); // no second manager

    EXPECT_TRUE(waitUntil(editorVisible));
    EXPECT_EQ(program.state(), QProcess::Running);

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(timeoutMs));
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(EndToEndTest, EveryStartWritesTheAutostartEntry)
{
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VANTOREL_BINARY), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    const QString entry = dir.filePath(QStringLiteral("config/autostart/vantorel.desktop"));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(entry); }));

    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QString binary = QFileInfo(QStringLiteral(VANTOREL_BINARY)).canonicalFilePath();
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + binary + u'\n')) << text.toStdString();
}
} // namespace
