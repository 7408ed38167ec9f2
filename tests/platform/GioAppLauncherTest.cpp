#include "DesktopTestKit.h"
#include "platform/gio/GioAppLauncher.h"

#include <QTemporaryDir>

#include <csignal>

#include <gtest/gtest.h>


class GioAppLauncherTest : public ::testing::Test {
protected:
    QString writeFile(const QString &name, const QByteArray &content, bool executable = false)
    {
        EXPECT_TRUE(::writeFile(dir.filePath(name), content, executable)) << name.toStdString();
        return dir.filePath(name);
    }

    // A script that writes its pid, its session id and its startup id, one a line.
    QString writeReportingScript()
    {
        const QByteArray report = QFile::encodeName(dir.filePath(QStringLiteral("report")));
        return writeFile(QStringLiteral("tool"),
                         "#!/bin/sh\nprintf '%s\\n%s\\n%s\\n' $$ $(cut -d' ' -f6 /proc/$$/stat) "
                         "\"$DESKTOP_STARTUP_ID\" > '" + report + ".tmp'\nmv '" + report + ".tmp' '"
                             + report + "'\n",
                         true);
    }

    QList<QByteArray> waitForReport()
    {
        const QString report = dir.filePath(QStringLiteral("report"));
        runEventLoopUntil([&] { return QFileInfo::exists(report); });
        return readFile(report).split('\n');
    }

    std::optional<QString> open(const QString &path, quint64 eventTime = 0)
    {
        return launcher.openApplication(QUrl::fromLocalFile(path), eventTime);
    }

    QTemporaryDir dir;
    GioAppLauncher launcher;
};

TEST_F(GioAppLauncherTest, ExecutableStartsInASessionOfItsOwnAndLeavesNoZombie)
{
    ASSERT_EQ(open(writeReportingScript()), std::nullopt);

    const QList<QByteArray> report = waitForReport();
    ASSERT_GE(report.size(), 2);
    EXPECT_EQ(report.at(1), report.at(0)) << "the program leads its own session";
    // Only this process can reap its child: /proc keeps a zombie's entry.
    const QString proc = QStringLiteral("/proc/") + QString::fromLatin1(report.at(0));
    EXPECT_TRUE(runEventLoopUntil([&] { return !QFileInfo::exists(proc); }));
}

TEST_F(GioAppLauncherTest, DesktopEntryStartsItsProgramWithTheTimeOfThePress)
{
    const QString entry = writeFile(QStringLiteral("app.desktop"),
                                    "[Desktop Entry]\nType=Application\nName=Tool\nExec="
                                        + QFile::encodeName(writeReportingScript()) + "\n");
    ASSERT_EQ(open(entry, 5555), std::nullopt);

    const QList<QByteArray> report = waitForReport();
    ASSERT_GE(report.size(), 3);
    EXPECT_TRUE(report.at(2).endsWith("_TIME5555")) << report.at(2).constData();
}

// How a target's windows are known once it runs, for bringing them to the front.
TEST_F(GioAppLauncherTest, ATargetIsKnownByItsWindowClassAndTheProcessesStartedFromIt)
{
    const QString script = writeFile(QStringLiteral("tool"), "#!/bin/sh\nsleep 5\n", true);
    const QUrl target = QUrl::fromLocalFile(script);
    EXPECT_EQ(launcher.identify(target).windowClasses, QStringList{QStringLiteral("tool")});
    EXPECT_TRUE(launcher.identify(target).processIds.isEmpty());
    ASSERT_EQ(open(script), std::nullopt);
    const QList<qint64> started = launcher.identify(target).processIds;
    ASSERT_EQ(started.size(), 1);
    ::kill(pid_t(started.front()), SIGTERM);
    EXPECT_TRUE(runEventLoopUntil([&] { return launcher.identify(target).processIds.isEmpty(); }))
        << "an ended process is forgotten";

    // GIO takes no entry whose program is missing.
    const QByteArray writer = QFile::encodeName(writeFile(QStringLiteral("writer"), "#!/bin/sh\n", true));
    const QByteArray entry = "[Desktop Entry]\nType=Application\nName=Tool\nExec=" + writer + " --new %U\n";
    const QString plain = writeFile(QStringLiteral("writer.desktop"), entry);
    EXPECT_EQ(launcher.identify(QUrl::fromLocalFile(plain)).windowClasses, QStringList{QStringLiteral("writer")});
    const QString withClass = writeFile(QStringLiteral("suite.desktop"), entry + "StartupWMClass=SuiteWriter\n");
    EXPECT_EQ(launcher.identify(QUrl::fromLocalFile(withClass)).windowClasses,
              QStringList{QStringLiteral("SuiteWriter")});
}

TEST_F(GioAppLauncherTest, WhatIsNotAnApplicationIsRefusedWithAReason)
{
    const QString missing = open(dir.filePath(QStringLiteral("nothing-here"))).value_or(QString());
    EXPECT_TRUE(missing.contains(QStringLiteral("no such file"))) << qPrintable(missing);

    const QString document = writeFile(QStringLiteral("notes.txt"), "not a program\n");
    const QString refusal = open(document).value_or(QString());
    EXPECT_TRUE(refusal.contains(document)) << qPrintable(refusal);

    EXPECT_TRUE(launcher.openApplication(QUrl(QStringLiteral("mailto:someone@example.org")), 0));
}
