#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "LaunchMarker.h"
#include "ProgramRun.h"
#include "UnixSocket.h"
#include "XvfbServer.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

// `vantorel --activate` and later starts against a running program: by name or id, also under
// the loads that used to break the channel (an oversized name, many starts at once, a flood of
// idle connections at the descriptor limit), and a start that cannot claim the instance.
namespace {
const QString program = QStringLiteral(VANTOREL_BINARY);

// A running program with one button, "Mark", in a Wayland session without
// a shortcut service; started by an activation, as a desktop's shortcut
// does, and ready once it reported it.
class RunningProgram {
public:
    explicit RunningProgram(const QString &display = QString(), const QString &platform = QStringLiteral("offscreen"))
        : run(display, platform), marker(run.dir()), socketKey(QString(display).replace(u':', u'_'))
    {
        if (display.isEmpty()) {
            run.environment().remove(QStringLiteral("DISPLAY"));
            run.environment().remove(QStringLiteral("WAYLAND_DISPLAY"));
        }
        if (platform == QLatin1String("offscreen"))
            run.environment().insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        run.environment().insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                 QStringLiteral("unix:path=/nonexistent"));
        ButtonFileWriter buttons;
        id = buttons.add(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + M"), marker.url());
        buttons.writeTo(run.buttonFile());
    }
    bool start()
    {
        run.start({program, QStringLiteral("--activate"), QStringLiteral("Mark")});
        return run.waitForOutput("⌨️ Activated by command: Mark") && launchedTimes(1);
    }
    // Whether the target has run this many times (a launch is answered once
    // it started, and the target takes a moment to leave its mark).
    bool launchedTimes(int count, int timeoutMs = 5000)
    {
        runEventLoopUntil([&] { return marker.launches() >= count; }, timeoutMs);
        return marker.launches() == count;
    }
    QString socket() { return run.dir() + QStringLiteral("/vantorel-") + socketKey; }
    // A later start in the same session.
    ProgramRun::Finished startAgain(const QStringList &arguments)
    {
        return run.runBeside(QStringList{program} + arguments);
    }

    ProgramRun run;
    LaunchMarker marker;
    QString socketKey;
    QUuid id;
};

// User and system CPU time of a process so far, in ms.
long cpuTimeMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toLong() + fields.value(12).toLong()) * 1000 / ::sysconf(_SC_CLK_TCK);
}

int openDescriptors(qint64 pid)
{
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

// A command bound in a desktop's keyboard settings, in a Wayland session without a shortcut
// service: it starts the program when needed, has the running one launch the button by name (in
// any case) or id, and says clearly when there is no such button.
TEST(CommandChannelTest, ActivateLaunchesAButtonByNameOrIdStartingTheProgramWhenNeeded)
{
    RunningProgram running;
    ASSERT_TRUE(running.start()) << running.run.transcript();
    EXPECT_TRUE(running.run.output().contains("vantorel --activate NAME")) << "the log says what to bind";
    const QString activate = QStringLiteral("--activate");
    EXPECT_EQ(running.startAgain({activate, QStringLiteral("mark")}).exitCode, 0);
    EXPECT_EQ(running.startAgain({activate, running.id.toString(QUuid::WithoutBraces)}).exitCode, 0);
    EXPECT_TRUE(running.launchedTimes(3));

    // One line, also in a locale that is not UTF-8 (C set in LANG or LC_ALL), as cron jobs,
    // containers and CI have.
    for (const char *cIn : {"", "LANG", "LC_ALL"}) {
        for (const char *variable : {"LANG", "LC_ALL", "LC_CTYPE"})
            running.run.environment().remove(QLatin1String(variable));
        if (*cIn)
            running.run.environment().insert(QLatin1String(cIn), QStringLiteral("C"));
        const auto unknown = running.startAgain({activate, QStringLiteral("Nothing")});
        EXPECT_EQ(unknown.exitCode, 2) << "C set in " << cIn;
        EXPECT_EQ(unknown.errors, "vantorel: no button is named \"Nothing\" or has that id\n") << "C set in " << cIn;
    }
    EXPECT_EQ(running.run.terminate(), 0);
    EXPECT_EQ(running.marker.launches(), 3);
    EXPECT_EQ(running.run.output().count("⌨️ Activated by command: Mark"), 3) << running.run.transcript();
}

// Another user's file where the instance socket goes: the program neither
// runs unguarded nor leaves silently, and the file stays as it was.
TEST(CommandChannelTest, AStartThatCannotClaimTheInstanceSaysWhyAndFails)
{
    ProgramRun program(QStringLiteral(":97"));
    const QString socket = program.dir() + QStringLiteral("/vantorel-_97");
    QFile file(socket);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("theirs") == 6);
    file.close();
    ASSERT_EQ(::chown(QFile::encodeName(socket).constData(), 65534, 65534), 0);

    program.start({QStringLiteral(VANTOREL_BINARY)});
    EXPECT_EQ(program.waitForExit(), 1);
    EXPECT_TRUE(program.output().contains(("❌ Cannot start: " + socket + " belongs to user 65534").toUtf8()))
        << program.transcript();
    EXPECT_FALSE(program.output().contains("🎹")) << "it went on to register hotkeys";
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("theirs"));
}

// A name that does not fit in one request: the command says so and the
// running program keeps its socket (the command used to take it for a dead
// one, remove it and run as a second program). A client that sends as much
// straight to the socket is refused, and the program goes on answering.
TEST(CommandChannelTest, AnOversizedNameIsRefusedAndTheRunningProgramKeepsItsSocket)
{
    RunningProgram running;
    ASSERT_TRUE(running.start()) << running.run.transcript();
    const auto oversized = running.startAgain({QStringLiteral("--activate"), QString(100000, QChar(1))});
    EXPECT_EQ(oversized.exitCode, 2);
    EXPECT_EQ(oversized.errors, "vantorel: a button's name or id has at most 1024 bytes, not 100000\n");
    EXPECT_TRUE(QFile::exists(running.socket()));

    const int fd = connectToUnixSocket(running.socket());
    ASSERT_GE(fd, 0);
    const QByteArray request = "activate " + QByteArray(100000, 'x');
    ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    const timeval patience{5, 0}; // the answer, then the end of the connection
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char answer[64] = {};
    ::recv(fd, answer, sizeof answer - 1, MSG_WAITALL);
    ::close(fd);
    EXPECT_STREQ(answer, "refused\n");

    EXPECT_EQ(running.startAgain({QStringLiteral("--activate"), QStringLiteral("Mark")}).exitCode, 0);
    EXPECT_TRUE(running.launchedTimes(2));
}

// Many activations at once, on an X display: every command waits for the
// running program's answer and says exactly what happened (they used to
// give up after a second, or abort when the display ran out of client slots,
// as each opened a connection to it).
TEST(CommandChannelTest, ManyActivationsAtOnceAllLaunchAndSaySo)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    RunningProgram running(xvfb.display(), QStringLiteral("xcb"));
    ASSERT_TRUE(running.start()) << running.run.transcript();

    constexpr int starts = 400; // more than the X server's 256 client slots
    // Each start's exit status on a line of its own (128 + the signal when one ended it).
    const QString startAll = QStringLiteral("for i in $(seq %1); do (\"$0\" --activate Mark 2>/dev/null; echo $?) & done; "
                                            "wait").arg(starts);
    const auto statuses = running.run.runBeside({QStringLiteral("sh"), QStringLiteral("-c"), startAll, program});
    EXPECT_EQ(statuses.output.toStdString(), QByteArray("0\n").repeated(starts).toStdString());
    EXPECT_TRUE(running.launchedTimes(starts + 1, 10000)) << running.marker.launches() << " launches";
}

// Idle and half-written connections from the same user until the program
// is at its descriptor limit: it neither spins nor stops launching, and it
// answers activations meanwhile and after they close.
TEST(CommandChannelTest, AFloodOfIdleConnectionsAtTheDescriptorLimitNeitherSpinsNorStopsTheProgram)
{
    RunningProgram running;
    ASSERT_TRUE(running.start()) << running.run.transcript();
    const qint64 pid = running.run.process().processId();
    const rlimit limit{rlim_t(openDescriptors(pid) + 40), 4096};
    ASSERT_EQ(::prlimit(pid_t(pid), RLIMIT_NOFILE, &limit, nullptr), 0) << std::strerror(errno);

    rlimit own{};
    ::getrlimit(RLIMIT_NOFILE, &own);
    own.rlim_cur = own.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &own);
    const int connections = int(std::min<rlim_t>(1100, own.rlim_cur - 200));
    std::vector<int> flood;
    for (int i = 0; i < connections; ++i) {
        const int fd = connectToUnixSocket(running.socket());
        if (fd < 0)
            break;
        if (i % 2 == 1)
            ::send(fd, "activate Ma", 11, MSG_NOSIGNAL | MSG_DONTWAIT);
        flood.push_back(fd);
    }
    EXPECT_EQ(int(flood.size()), connections);

    QThread::msleep(500);
    const long before = cpuTimeMs(pid);
    QThread::msleep(1000);
    EXPECT_LT(cpuTimeMs(pid) - before, 150) << "the program spins";
    EXPECT_EQ(running.startAgain({QStringLiteral("--activate"), QStringLiteral("Mark")}).exitCode, 0);
    EXPECT_TRUE(running.launchedTimes(2));

    for (int fd : flood)
        ::close(fd);
    EXPECT_EQ(running.startAgain({QStringLiteral("--activate"), QStringLiteral("Mark")}).exitCode, 0);
    EXPECT_TRUE(running.launchedTimes(3));
    EXPECT_LE(openDescriptors(pid), int(limit.rlim_cur));
}

} // namespace
