#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "LaunchMarker.h"
#include "ProgramRun.h"
#include "RequiredTool.h"
#include "XvfbServer.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <QUuid>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {
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

// With a tray the editor stays hidden at start-up, so only the second start
// can have shown it.
TEST(EndToEndTest, SecondStartShowsTheRunningEditorAndExits)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    VANTOREL_REQUIRE_PROGRAM("xdotool");
    VANTOREL_REQUIRE_PROGRAM("trayer");
    ProgramRun tray(xvfb.display(), QStringLiteral("xcb"));
    ProgramRun program(xvfb.display(), QStringLiteral("xcb"));
    ASSERT_TRUE(tray.start({QStringLiteral("trayer"), QStringLiteral("--SetDockType"), QStringLiteral("true")}));
    ASSERT_TRUE(runEventLoopUntil([] { return windowShown(QStringLiteral("--class"), QStringLiteral("trayer")); },
                                  ProgramRun::timeoutMs));

    program.start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(program.waitForOutput("🎹 Registering shortcuts for")) << program.transcript();
    EXPECT_FALSE(editorShown());

    ProgramRun second;
    second.environment() = program.environment();
    second.start({QStringLiteral(VANTOREL_BINARY)});
    EXPECT_EQ(second.waitForExit(), 0) << second.transcript();
    EXPECT_TRUE(runEventLoopUntil(editorShown, ProgramRun::timeoutMs));

    QFile entry(program.dir() + QStringLiteral("/config/autostart/org.vantorel.Vantorel.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString binary = QFileInfo(QStringLiteral(VANTOREL_BINARY)).canonicalFilePath();
    ASSERT_FALSE(binary.isEmpty());
    EXPECT_TRUE(entry.readAll().contains(("\nExec=" + binary + '\n').toUtf8()));
    EXPECT_TRUE(program.output().contains(("📍 App Location: " + binary + '\n').toUtf8())) << program.transcript();
    EXPECT_EQ(program.terminate(), 0);
}

// Another user's file where the instance socket goes: the program neither
// runs unguarded nor leaves silently.
TEST(EndToEndTest, AStartThatCannotClaimTheInstanceSaysWhyAndFails)
{
    ProgramRun program(QStringLiteral(":97"));
    const QString socket = program.dir() + QStringLiteral("/vantorel-_97");
    QFile file(socket);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(::chown(QFile::encodeName(socket).constData(), 65534, 65534), 0);

    program.start({QStringLiteral(VANTOREL_BINARY)});
    EXPECT_EQ(program.waitForExit(), 1);
    EXPECT_TRUE(program.output().contains(("❌ Cannot start: " + socket + " belongs to user 65534").toUtf8()))
        << program.transcript();
    EXPECT_FALSE(program.output().contains("🎹")) << "it went on to register hotkeys";
}

// A command bound in a desktop's keyboard settings, in a Wayland session
// without a shortcut service: it starts the program when needed, has the
// running one launch the button, and says clearly when there is no such button.
TEST(EndToEndTest, ActivateLaunchesAButtonByNameOrIdStartingTheProgramWhenNeeded)
{
    ProgramRun program;
    program.environment().insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    program.environment().insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    const LaunchMarker marker(program.dir());
    ButtonFileWriter buttons;
    const QUuid id = buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), marker.url());
    ASSERT_TRUE(buttons.writeTo(program.buttonFile()));

    program.start({QStringLiteral(VANTOREL_BINARY), QStringLiteral("--activate"), QStringLiteral("Mark")});
    EXPECT_TRUE(runEventLoopUntil([&] { return marker.launches() == 1; })) << program.transcript();
    ASSERT_TRUE(program.waitForOutput("⌨️ Activated by command: Mark")) << program.transcript();
    EXPECT_TRUE(program.output().contains("vantorel --activate NAME")) << "the log says what to bind";

    for (const QString &target : {QStringLiteral("mark"), id.toString(QUuid::WithoutBraces)}) {
        ProgramRun again;
        again.environment() = program.environment();
        again.start({QStringLiteral(VANTOREL_BINARY), QStringLiteral("--activate"), target});
        EXPECT_EQ(again.waitForExit(), 0) << again.transcript();
    }
    EXPECT_TRUE(runEventLoopUntil([&] { return marker.launches() == 3; })) << program.transcript();

    ProgramRun unknown;
    unknown.environment() = program.environment();
    unknown.start({QStringLiteral(VANTOREL_BINARY), QStringLiteral("--activate"), QStringLiteral("Nothing")});
    EXPECT_EQ(unknown.waitForExit(), 2);
    EXPECT_EQ(unknown.errors(), QByteArray("vantorel: no button is named \"Nothing\" or has that id\n"));
    // The same one line in a locale that is not UTF-8, as cron jobs, containers and CI have.
    for (const QString &cLocale : {QString(), QStringLiteral("LANG"), QStringLiteral("LC_ALL")}) {
        ProgramRun inC;
        inC.environment() = program.environment();
        for (const QString &variable : {QStringLiteral("LANG"), QStringLiteral("LC_ALL"), QStringLiteral("LC_CTYPE")})
            inC.environment().remove(variable);
        if (!cLocale.isEmpty())
            inC.environment().insert(cLocale, QStringLiteral("C"));
        inC.start({QStringLiteral(VANTOREL_BINARY), QStringLiteral("--activate"), QStringLiteral("Nothing")});
        EXPECT_EQ(inC.waitForExit(), 2);
        EXPECT_EQ(inC.errors(), QByteArray("vantorel: no button is named \"Nothing\" or has that id\n"))
            << "C set in " << (cLocale.isEmpty() ? "no variable" : cLocale.toStdString());
    }
    EXPECT_EQ(program.terminate(), 0);
    EXPECT_EQ(marker.launches(), 3);
}
} // namespace
