#include "EventLoopWait.h"
#include "LatestPressTime.h"
#include "gio/GioAppLauncher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

namespace {
void writeFile(const QString &path, const QByteArray &content, bool executable)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isRunningOrZombie(const QByteArray &pid)
{
    return QFileInfo::exists(QStringLiteral("/proc/") + QString::fromLatin1(pid));
}

// Children of this process that have exited but were never reaped.
int zombieChildren()
{
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        // Fields after the parenthesised name: state, then the parent's pid.
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(entry));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(0) == "Z" && fields.at(1).toLongLong() == qint64(getpid()))
            ++count;
    }
    return count;
}
} // namespace

class GioAppLauncherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        latestPress = std::make_shared<LatestPressTime>();
        launcher = std::make_unique<GioAppLauncher>(latestPress);
        marker = dir.filePath(QStringLiteral("marker"));
    }

    // A script that records, once started, its pid, its session id and its
    // startup id, one per line.
    QString writeReportingScript(const QString &name)
    {
        const QString path = dir.filePath(name);
        writeFile(path,
                  "#!/bin/sh\n"
                  "sid=$(cut -d' ' -f6 /proc/$$/stat)\n"
                  "printf '%s\\n%s\\n%s\\n' \"$$\" \"$sid\" \"$DESKTOP_STARTUP_ID\" > "
                      + QFile::encodeName(marker) + ".tmp\n"
                      "mv " + QFile::encodeName(marker) + ".tmp " + QFile::encodeName(marker) + "\n",
                  true);
        return path;
    }

    QString writeDesktopEntry(const QByteArray &exec)
    {
        const QString path = dir.filePath(QStringLiteral("app.desktop"));
        writeFile(path,
                  "[Desktop Entry]\nType=Application\nName=Test app\nExec=" + exec + "\n", false);
        return path;
    }

    // pid, session id and startup id that the started program reported.
    QList<QByteArray> waitForReport()
    {
        if (!runEventLoopUntil([&] { return QFileInfo::exists(marker); }))
            return {};
        return readFile(marker).split('\n');
    }

    std::optional<QString> open(const QString &path)
    {
        return launcher->openApplication(QUrl::fromLocalFile(path));
    }

    QTemporaryDir dir;
    QString marker;
    std::shared_ptr<LatestPressTime> latestPress;
    std::unique_ptr<GioAppLauncher> launcher;
};

TEST_F(GioAppLauncherTest, ExecutableStartsInASessionOfItsOwn)
{
    EXPECT_EQ(open(writeReportingScript(QStringLiteral("tool"))), std::nullopt);

    const QList<QByteArray> report = waitForReport();
    ASSERT_GE(report.size(), 3);
    EXPECT_EQ(report.at(1), report.at(0)) << "the program leads its own session";
    EXPECT_NE(report.at(1).toLongLong(), qint64(getsid(0)));
}

TEST_F(GioAppLauncherTest, ExecutableThatExitsLeavesNoZombie)
{
    ASSERT_EQ(open(writeReportingScript(QStringLiteral("tool"))), std::nullopt);
    const QList<QByteArray> report = waitForReport();
    ASSERT_FALSE(report.isEmpty());

    EXPECT_TRUE(runEventLoopUntil([&] { return !isRunningOrZombie(report.at(0)); }));
    EXPECT_EQ(zombieChildren(), 0);
}

TEST_F(GioAppLauncherTest, ExecutableGetsAStartupIdWithTheTimeOfTheLatestPress)
{
    latestPress->record(987654);
    ASSERT_EQ(open(writeReportingScript(QStringLiteral("tool"))), std::nullopt);

    const QList<QByteArray> report = waitForReport();
    ASSERT_GE(report.size(), 3);
    EXPECT_TRUE(report.at(2).startsWith("vantorel-")) << report.at(2).constData();
    EXPECT_TRUE(report.at(2).endsWith("_TIME987654")) << report.at(2).constData();
}

TEST_F(GioAppLauncherTest, WithoutAPressNoStartupIdIsPassedOn)
{
    qputenv("DESKTOP_STARTUP_ID", "inherited-from-our-own-start_TIME1");
    const std::optional<QString> result = open(writeReportingScript(QStringLiteral("tool")));
    qunsetenv("DESKTOP_STARTUP_ID");
    ASSERT_EQ(result, std::nullopt);

    const QList<QByteArray> report = waitForReport();
    ASSERT_GE(report.size(), 3);
    EXPECT_EQ(report.at(2), QByteArray());
}

TEST_F(GioAppLauncherTest, DesktopEntryLaunchesThroughGioWithTheStartupId)
{
    latestPress->record(5555);
    const QString script = writeReportingScript(QStringLiteral("tool"));
    ASSERT_EQ(open(writeDesktopEntry(QFile::encodeName(script))), std::nullopt);

    const QList<QByteArray> report = waitForReport();
    ASSERT_GE(report.size(), 3);
    EXPECT_TRUE(report.at(2).endsWith("_TIME5555")) << report.at(2).constData();
    runEventLoopFor(100);
    EXPECT_EQ(zombieChildren(), 0);
}

TEST_F(GioAppLauncherTest, MissingFileIsRefusedWithAReason)
{
    const std::optional<QString> reason = open(dir.filePath(QStringLiteral("nothing-here")));
    ASSERT_TRUE(reason);
    EXPECT_TRUE(reason->contains(QStringLiteral("no such file"))) << reason->toStdString();
    EXPECT_FALSE(reason->contains(QLatin1Char('\n')));
}

TEST_F(GioAppLauncherTest, PlainDocumentIsNotOpened)
{
    const QString document = dir.filePath(QStringLiteral("notes.txt"));
    writeFile(document, "not a program\n", false);

    const std::optional<QString> reason = open(document);
    ASSERT_TRUE(reason);
    EXPECT_TRUE(reason->contains(document)) << reason->toStdString();
}

TEST_F(GioAppLauncherTest, FolderIsNotOpened)
{
    const std::optional<QString> reason = open(dir.path());
    ASSERT_TRUE(reason);
    EXPECT_TRUE(reason->contains(QStringLiteral("folder"))) << reason->toStdString();
}

TEST_F(GioAppLauncherTest, OtherSchemesAreNotOpened)
{
    for (const char *target : {"mailto:someone@example.org", "ftp://127.0.0.1/tool", "HTTPS://127.0.0.1/"}) {
        const std::optional<QString> reason = launcher->openApplication(QUrl(QString::fromLatin1(target)));
        EXPECT_TRUE(reason) << target;
    }
}

TEST_F(GioAppLauncherTest, BrokenDesktopEntryIsRefused)
{
    const QString path = dir.filePath(QStringLiteral("broken.desktop"));
    writeFile(path, "this is not a desktop entry\n", false);

    const std::optional<QString> reason = open(path);
    ASSERT_TRUE(reason);
    EXPECT_TRUE(reason->contains(path)) << reason->toStdString();
}

TEST_F(GioAppLauncherTest, DesktopEntryWhoseProgramIsMissingFails)
{
    const std::optional<QString> reason = open(writeDesktopEntry(QFile::encodeName(dir.filePath(QStringLiteral("gone")))));
    ASSERT_TRUE(reason);
    EXPECT_FALSE(reason->contains(QLatin1Char('\n'))) << reason->toStdString();
}

TEST_F(GioAppLauncherTest, ExecutableFileThatCannotRunFails)
{
    const QString path = dir.filePath(QStringLiteral("garbage"));
    writeFile(path, QByteArray("\x7f" "ELF but not really", 20), true);

    const std::optional<QString> reason = open(path);
    ASSERT_TRUE(reason);
    EXPECT_TRUE(reason->contains(QStringLiteral("could not start"))) << reason->toStdString();
}
