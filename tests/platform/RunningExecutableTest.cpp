#include "platform/posix/RunningExecutable.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
// The test binary is the running program here: its own absolute, real file.
TEST(RunningExecutableTest, IsTheRealFileOfTheRunningProgram)
{
    const QString path = RunningExecutable::path();
    const QFileInfo file(path);
    EXPECT_TRUE(file.isAbsolute()) << path.toStdString();
    EXPECT_TRUE(file.isExecutable()) << path.toStdString();
    EXPECT_EQ(path, file.canonicalFilePath()) << "no link or relative part left";
    EXPECT_EQ(file.fileName(), QStringLiteral("posix_tests"));
    EXPECT_EQ(path, QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}
} // namespace
