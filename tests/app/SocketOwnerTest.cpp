#include "LogCapture.h"
#include "RequiredTool.h"
#include "SingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {
// Whose the socket is decides, not its group: a start talks to a socket of
// its own user whatever its group, and refuses another user's that carries
// its group, leaving it and its listener alone.
TEST(SingleInstanceSocketOwner, TheUserDecidesNotTheGroup)
{
    if (::geteuid() != 0)
        VANTOREL_SKIP_OR_FAIL("giving a socket to another user needs root");
    constexpr uid_t nobody = 65534;
    struct Case {
        uid_t user;
        gid_t group;
        SingleInstance::Claim claim;
    };
    const Case cases[] = {
        {::geteuid(), nobody, SingleInstance::Claim::otherInstanceShown},
        {nobody, ::getegid(), SingleInstance::Claim::failed},
    };
    LogCapture log;
    QTemporaryDir dir; // mode 0700, ours
    for (const Case &c : cases) {
        const QString socket = dir.filePath(QStringLiteral("vantorel-%1-%2").arg(c.user).arg(c.group));
        SingleInstance running(socket);
        ASSERT_EQ(running.claim(), SingleInstance::Claim::thisInstance);
        ASSERT_EQ(::chown(QFile::encodeName(socket).constData(), c.user, c.group), 0);
        QSignalSpy shown(&running, &SingleInstance::showRequested);
        log.clear();

        SingleInstance later(socket);
        EXPECT_EQ(later.claim(), c.claim) << "user " << c.user << ", group " << c.group;
        const bool theirs = c.claim == SingleInstance::Claim::failed;
        EXPECT_EQ(shown.wait(theirs ? 300 : 2000), !theirs);
        EXPECT_EQ(log.startingWith(QStringLiteral("❌ Cannot start: ")).size(), theirs ? 1 : 0)
            << log.lines().join(u'\n').toStdString();
        EXPECT_TRUE(QFile::exists(socket));
    }
}
} // namespace
