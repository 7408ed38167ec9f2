#include "LogCapture.h"
#include "QtPrinters.h"
#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

// The tests run as root, so "another user" is nobody (65534) by chown.
namespace {
constexpr uid_t otherUser = 65534;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString socketPath() const { return dir.filePath(QStringLiteral("vantorel-_0")); }

    bool giveToOtherUser(const QString &path) const
    {
        return ::lchown(QFile::encodeName(path).constData(), otherUser, otherUser) == 0;
    }

    void expectRefused(SingleInstance::Claim claim, const QString &mentioned)
    {
        EXPECT_EQ(claim, SingleInstance::Claim::failed);
        const QStringList lines = log.startingWith(QStringLiteral("❌ Cannot start: "));
        ASSERT_EQ(lines.size(), 1) << log.lines().join(u'\n').toStdString();
        EXPECT_TRUE(lines.first().contains(mentioned)) << lines.first().toStdString();
        log.clear();
    }

    LogCapture log;
    QTemporaryDir dir; // mode 0700, ours
};

TEST_F(SingleInstanceTest, AnotherUsersSocketIsNeitherAskedNorRemoved)
{
    QLocalServer theirs;
    ASSERT_TRUE(theirs.listen(socketPath()));
    ASSERT_TRUE(giveToOtherUser(socketPath()));

    SingleInstance instance(socketPath());
    expectRefused(instance.claim(), QStringLiteral("belongs to user 65534"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(theirs.hasPendingConnections());
    EXPECT_TRUE(QFile::exists(socketPath()));
}

TEST_F(SingleInstanceTest, AnotherUsersFileStopsTheStartInsteadOfRunningUnguarded)
{
    QFile file(socketPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("theirs");
    file.close();
    ASSERT_TRUE(giveToOtherUser(socketPath()));

    SingleInstance instance(socketPath());
    expectRefused(instance.claim(), QStringLiteral("belongs to user 65534"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("theirs"));
}

TEST_F(SingleInstanceTest, ADirectoryOthersCanEnterOrReplaceIsRefused)
{
    const QString open = dir.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(open));
    ::chmod(QFile::encodeName(open).constData(), 0755);
    const QString foreign = dir.filePath(QStringLiteral("foreign"));
    ASSERT_TRUE(QDir().mkdir(foreign));
    ::chmod(QFile::encodeName(foreign).constData(), 0700);
    ASSERT_TRUE(giveToOtherUser(foreign));
    const QString link = dir.filePath(QStringLiteral("link"));
    const QString target = dir.filePath(QStringLiteral("private"));
    ASSERT_TRUE(QDir().mkdir(target));
    ::chmod(QFile::encodeName(target).constData(), 0700);
    ASSERT_TRUE(QFile::link(target, link));

    const std::pair<QString, QString> cases[] = {
        {open, QStringLiteral("has mode 0755, not 0700")},
        {foreign, QStringLiteral("belongs to user 65534")},
        {link, QStringLiteral("is a symbolic link")},
    };
    for (const auto &[directory, reason] : cases) {
        SingleInstance instance(directory + QStringLiteral("/vantorel-_0"));
        expectRefused(instance.claim(), reason);
        EXPECT_FALSE(QFile::exists(directory + QStringLiteral("/vantorel-_0"))) << directory.toStdString();
    }

    // A missing directory is created private.
    const QString fresh = dir.filePath(QStringLiteral("fresh"));
    SingleInstance instance(fresh + QStringLiteral("/vantorel-_0"));
    EXPECT_EQ(instance.claim(), SingleInstance::Claim::thisInstance) << log.lines().join(u'\n').toStdString();
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
}

TEST_F(SingleInstanceTest, SessionSocketLivesInTheRuntimeDirectoryOnlyWhenItIsPrivate)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    EXPECT_TRUE(SingleInstance::socketPathForThisSession().startsWith(dir.path() + u'/'));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    EXPECT_TRUE(SingleInstance::socketPathForThisSession().startsWith(
        QStringLiteral("/tmp/vantorel-%1/").arg(::geteuid())));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", saved);
}

TEST_F(SingleInstanceTest, ALeftOverSocketIsReplacedAndASecondStartShowsTheFirst)
{
    // A socket nobody listens on any more, as a crash leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath());
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);

    SingleInstance first(socketPath());
    ASSERT_EQ(first.claim(), SingleInstance::Claim::thisInstance) << log.lines().join(u'\n').toStdString();
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    SingleInstance second(socketPath());
    EXPECT_EQ(second.claim(), SingleInstance::Claim::otherInstanceShown);
    EXPECT_TRUE(shown.wait(2000));
    EXPECT_TRUE(log.startingWith(QStringLiteral("❌")).isEmpty()) << log.lines().join(u'\n').toStdString();
}
} // namespace
