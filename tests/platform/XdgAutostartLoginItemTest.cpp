// GLib first: its headers use "signals" as a field name, a Qt macro.
#include <gio/gdesktopappinfo.h>

#include "xdg/XdgAutostartLoginItem.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

// The entry must start exactly this program however odd its path: GIO
// launches it the way a session's autostart does.
TEST(XdgAutostartLoginItem, EntryStartsTheProgramWhateverItsPathHolds)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString program = config.filePath(QStringLiteral("My $Tool \"v2\" `x` \\ 'q' 100/vantorel"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(program).path()));
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch \"$0.ran\"\n");
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    script.close();

    ASSERT_EQ(XdgAutostartLoginItem().registerApplication(program), std::nullopt);
    ASSERT_EQ(XdgAutostartLoginItem::entryPath(), config.filePath(QStringLiteral("autostart/org.vantorel.Vantorel.desktop")));
    GDesktopAppInfo *entry = g_desktop_app_info_new_from_filename(
        QFile::encodeName(XdgAutostartLoginItem::entryPath()).constData());
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(g_app_info_launch(G_APP_INFO(entry), nullptr, nullptr, nullptr));
    g_object_unref(entry);
    const QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(program + QStringLiteral(".ran")) && !deadline.hasExpired())
        QThread::msleep(10);
    EXPECT_TRUE(QFileInfo::exists(program + QStringLiteral(".ran")));

    EXPECT_NE(XdgAutostartLoginItem().registerApplication(QStringLiteral("relative/vantorel")), std::nullopt);
    qunsetenv("XDG_CONFIG_HOME");
}

// A user who turned the entry off in their desktop's settings keeps it off;
// only the program's path is brought up to date.
TEST(XdgAutostartLoginItem, AnExistingEntryKeepsTheUsersLinesAndGetsTheNewPath)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    ASSERT_TRUE(QDir().mkpath(config.filePath(QStringLiteral("autostart"))));
    const QByteArray before = "# switched off by me\n"
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Vantorel\n"
                              "Exec=/old/place/vantorel\n"
                              "Hidden=true\n"
                              "X-GNOME-Autostart-enabled=false\n"
                              "X-KDE-autostart-phase=2\n";
    QByteArray expected = before;
    expected.replace("Exec=/old/place/vantorel", "Exec=/opt/vantorel/bin/vantorel");
    // Under its name, and under the name earlier versions gave it.
    for (const QString &path : {XdgAutostartLoginItem::entryPath(), XdgAutostartLoginItem::earlierEntryPath()}) {
        QFile::remove(XdgAutostartLoginItem::entryPath());
        QFile entry(path);
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write(before);
        entry.close();

        ASSERT_EQ(XdgAutostartLoginItem().registerApplication(QStringLiteral("/opt/vantorel/bin/vantorel")), std::nullopt);
        QFile written(XdgAutostartLoginItem::entryPath());
        ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_EQ(written.readAll().toStdString(), expected.toStdString());
        EXPECT_FALSE(QFileInfo::exists(XdgAutostartLoginItem::earlierEntryPath())) << "one entry starts it once";
    }
    qunsetenv("XDG_CONFIG_HOME");
}
