#include "LogCapture.h"
#include "QtPrinters.h"
#include "ScopedEnvironment.h"
#include "UnixSocket.h"
#include "app/PrivateDirectory.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {
class SingleInstanceTest : public ::testing::Test {
protected:
    // A directory of the given mode under the test's own; root runs the
    // tests, so "another user" is nobody (65534) by chown.
    QString directory(const char *name, mode_t mode, bool otherUsers = false) const
    {
        const QString path = dir.filePath(QLatin1String(name));
        QDir().mkdir(path);
        ::chmod(QFile::encodeName(path).constData(), mode);
        if (otherUsers)
            giveToOtherUser(path);
        return path;
    }
    static bool giveToOtherUser(const QString &path, gid_t group = 65534)
    {
        return ::lchown(QFile::encodeName(path).constData(), 65534, group) == 0;
    }

    LogCapture log;
    QTemporaryDir dir; // mode 0700, ours
    ScopedEnvironment environment;
};

// Another user's socket (even one that carries our group: the user decides) where ours goes, or
// a directory others can enter or replace: the start stops with one line and touches nothing.
// A missing directory is made private. (Another user's file there: CommandChannelTest.)
TEST_F(SingleInstanceTest, RefusesWhatIsNotSafelyItsOwn)
{
    QLocalServer theirs;
    const QString theirSocket = directory("socket", 0700) + QStringLiteral("/vantorel-_0");
    ASSERT_TRUE(theirs.listen(theirSocket));
    ASSERT_TRUE(giveToOtherUser(theirSocket, ::getegid()));
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(directory("private", 0700), link));

    const std::pair<QString, QString> cases[] = {
        {theirSocket, QStringLiteral("belongs to user 65534")},
        {directory("open", 0755) + QStringLiteral("/vantorel-_0"), QStringLiteral("has mode 0755, not 0700")},
        {directory("foreign", 0700, true) + QStringLiteral("/vantorel-_0"), QStringLiteral("belongs to user 65534")},
        {link + QStringLiteral("/vantorel-_0"), QStringLiteral("is a symbolic link")},
    };
    for (const auto &[path, reason] : cases) {
        const bool existed = QFile::exists(path);
        SingleInstance instance(path);
        EXPECT_EQ(instance.claim(), SingleInstance::Claim::failed) << path.toStdString();
        const QStringList lines = log.startingWith(QStringLiteral("❌ Cannot start: "));
        ASSERT_EQ(lines.size(), 1) << log.lines().join(u'\n').toStdString();
        EXPECT_TRUE(lines.first().contains(reason)) << lines.first().toStdString();
        EXPECT_EQ(QFile::exists(path), existed) << path.toStdString();
        log.clear();
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(theirs.hasPendingConnections());

    const QString fresh = dir.filePath(QStringLiteral("fresh"));
    SingleInstance instance(fresh + QStringLiteral("/vantorel-_0"));
    EXPECT_EQ(instance.claim(), SingleInstance::Claim::thisInstance) << log.lines().join(u'\n').toStdString();
    EXPECT_EQ(QFile::permissions(fresh), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                             | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

// The runtime directory when it is ours and private; else the one a login
// session has (/run/user/<uid>), whether the variable names it or not; else
// a private folder in /tmp.
TEST_F(SingleInstanceTest, SessionSocketLivesInThePrivateRuntimeDirectory)
{
    const QString loginRuntime = QStringLiteral("/run/user/%1").arg(::geteuid());
    const QString fallback = PrivateDirectory::problem(loginRuntime) ? QStringLiteral("/tmp/vantorel-%1").arg(::geteuid())
                                                                     : loginRuntime;
    environment.set("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    EXPECT_TRUE(SingleInstance::socketPathForThisSession().startsWith(dir.path() + u'/'));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    EXPECT_TRUE(SingleInstance::socketPathForThisSession().startsWith(fallback + u'/'));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    environment.unset("XDG_RUNTIME_DIR");
    EXPECT_TRUE(SingleInstance::socketPathForThisSession().startsWith(fallback + u'/'));
}

// One display, however DISPLAY writes it, is one socket; WAYLAND_DISPLAY
// counts when DISPLAY is not set, by its name in the runtime directory.
TEST_F(SingleInstanceTest, EveryWayOfWritingADisplayGivesItsOneSocket)
{
    environment.set("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    const auto socketFor = [this](const char *display, const char *wayland) {
        environment.set("DISPLAY", display);
        environment.set("WAYLAND_DISPLAY", wayland);
        return QFileInfo(SingleInstance::socketPathForThisSession()).fileName();
    };
    const QByteArray runtimeWayland = QFile::encodeName(dir.path()) + "/wayland-1";
    const std::pair<QString, std::vector<std::pair<const char *, const char *>>> cases[] = {
        {QStringLiteral("vantorel-_5"),
         {{":5", ""}, {":5.0", ""}, {"unix:5", ""}, {"unix:5.1", "wayland-0"}, {"localhost:5", ""},
          {"127.0.0.1:5.0", ""}, {"unix/:5", ""}, {"/tmp/.X11-unix/X5", ""}}},
        {QStringLiteral("vantorel-_50"), {{":50", ""}, {":50.0", ""}}},
        {QStringLiteral("vantorel-elsewhere_5"), {{"elsewhere:5", ""}, {"elsewhere:5.0", ""}}},
        {QStringLiteral("vantorel-wayland-1"), {{"", "wayland-1"}, {"", runtimeWayland.constData()}}},
        {QStringLiteral("vantorel-_other_wayland-1"), {{"", "/other/wayland-1"}}},
    };
    for (const auto &[socket, spellings] : cases) {
        for (const auto &[display, wayland] : spellings)
            EXPECT_EQ(socketFor(display, wayland), socket) << display << " / " << wayland;
    }
}

// A socket nobody listens on any more, as a crash leaves it, is replaced. A
// connection that says nothing, or half a request, is closed after a short
// while, and only so many wait at a time (the oldest goes first). Later
// starts are answered meanwhile: one asking for a button hears the answer
// without the editor showing; a plain one shows it, whatever the socket's group.
TEST_F(SingleInstanceTest, ReplacesALeftOverSocketAndAnswersLaterStartsPastIdleConnections)
{
    const QString socket = dir.filePath(QStringLiteral("vantorel-_0"));
    const int leftOver = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(socket).constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(leftOver, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(leftOver);
    SingleInstance first(socket);
    ASSERT_EQ(first.claim(), SingleInstance::Claim::thisInstance) << log.lines().join(u'\n').toStdString();
    ASSERT_EQ(::chown(QFile::encodeName(socket).constData(), ::geteuid(), 65534), 0);
    QSignalSpy shown(&first, &SingleInstance::showRequested);
    const auto closedByTheProgram = [](int fd) {
        char byte;
        return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
    };
    constexpr int extra = 3;
    std::vector<int> idle;
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    for (int i = 0; i < SingleInstance::connectionLimit + extra; ++i) {
        idle.push_back(connectToUnixSocket(socket));
        EXPECT_GE(idle.back(), 0);
        if (i % 2)
            ::send(idle.back(), "activate Ha", 11, MSG_NOSIGNAL);
        QCoreApplication::processEvents();
    }
    QTest::qWait(100);
    for (int i = 0; i < int(idle.size()); ++i)
        EXPECT_EQ(closedByTheProgram(idle[size_t(i)]), i < extra) << "connection " << i;

    // The asking start waits for the answer from this thread's event loop.
    first.setActivator([](const QString &nameOrId) { return nameOrId == QStringLiteral("Mail & more\n100%"); });
    std::atomic<SingleInstance::Activation> answer = SingleInstance::Activation::noAnswer;
    std::thread asking([&] {
        SingleInstance later(socket);
        if (later.claimToActivate(QStringLiteral("Mail & more\n100%")) == SingleInstance::Claim::otherInstanceShown)
            answer = later.activation();
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer != SingleInstance::Activation::noAnswer; }, 3000));
    asking.join();
    EXPECT_EQ(answer, SingleInstance::Activation::launched);
    EXPECT_EQ(shown.count(), 0) << "an activation does not show the editor";

    EXPECT_TRUE(QTest::qWaitFor([&] { return closedByTheProgram(idle.back()); }, 2 * SingleInstance::idleTimeoutMs));
    EXPECT_GE(sinceFirst.elapsed(), SingleInstance::idleTimeoutMs);
    for (int fd : idle) {
        EXPECT_TRUE(closedByTheProgram(fd));
        ::close(fd);
    }
    SingleInstance second(socket);
    EXPECT_EQ(second.claim(), SingleInstance::Claim::otherInstanceShown);
    EXPECT_TRUE(shown.wait(2000));
    EXPECT_TRUE(log.startingWith(QStringLiteral("❌")).isEmpty()) << log.lines().join(u'\n').toStdString();
}
} // namespace
