// GLib first: its headers use "signals" as a field name, a Qt macro.
#include <gio/gdesktopappinfo.h>

#include "DesktopTestKit.h"
#include "platform/xdg/XdgAutostartLoginItem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

class XdgAutostartLoginItemTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", config.path().toUtf8()); }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    QTemporaryDir config;
};

// The entry must start exactly this program however odd its path: GIO
// launches it the way a session's autostart does.
TEST_F(XdgAutostartLoginItemTest, EntryStartsTheProgramWhateverItsPathHolds)
{
    const QString program = config.filePath(QStringLiteral("My $Tool \"v2\" `x` \\ 'q' 100/vantorel"));
    ASSERT_TRUE(writeFile(program, "#!/bin/sh\ntouch \"$0.ran\"\n", true));

    ASSERT_EQ(XdgAutostartLoginItem().registerApplication(program), std::nullopt);
    ASSERT_EQ(XdgAutostartLoginItem::entryPath(), config.filePath(QStringLiteral("autostart/org.vantorel.Vantorel.desktop")));
    GDesktopAppInfo *entry = g_desktop_app_info_new_from_filename(
        QFile::encodeName(XdgAutostartLoginItem::entryPath()).constData());
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(g_app_info_launch(G_APP_INFO(entry), nullptr, nullptr, nullptr));
    g_object_unref(entry);
    EXPECT_TRUE(runEventLoopUntil([&] { return QFileInfo::exists(program + QStringLiteral(".ran")); }, 5000));

    EXPECT_NE(XdgAutostartLoginItem().registerApplication(QStringLiteral("relative/vantorel")), std::nullopt);
}

// A user who turned the entry off in their desktop's settings keeps it off;
// only the program's path is brought up to date, in the main group, with the
// file's own line ends.
TEST_F(XdgAutostartLoginItemTest, AnExistingEntryKeepsTheUsersLinesAndGetsTheNewPath)
{
    struct Case {
        const char *what;
        QByteArray before;
        QByteArray after;
    };
    const Case cases[] = {
        {"LF", "# switched off by me\n[Desktop Entry]\nType=Application\nExec=/old/place/vantorel\nHidden=true\n",
         "# switched off by me\n[Desktop Entry]\nType=Application\nExec=/opt/vantorel/bin/vantorel\nHidden=true\n"},
        {"CRLF", "# switched off by me\r\n[Desktop Entry]\r\nType=Application\r\nExec=/old/vantorel\r\nHidden=true\r\n",
         "# switched off by me\r\n[Desktop Entry]\r\nType=Application\r\nExec=/opt/vantorel/bin/vantorel\r\nHidden=true\r\n"},
        {"CRLF, no Exec", "[Desktop Entry]\r\nX-GNOME-Autostart-enabled=false\r\n",
         "[Desktop Entry]\r\nExec=/opt/vantorel/bin/vantorel\r\nX-GNOME-Autostart-enabled=false\r\n"},
        {"an Exec in another group only", "[Desktop Entry]\nName=V\n\n[Desktop Action new]\nExec=/other\n",
         "[Desktop Entry]\nExec=/opt/vantorel/bin/vantorel\nName=V\n\n[Desktop Action new]\nExec=/other\n"},
    };
    for (const Case &c : cases) {
        // Under its name, and under the name earlier versions gave it.
        for (const QString &path : {XdgAutostartLoginItem::entryPath(), XdgAutostartLoginItem::earlierEntryPath()}) {
            QFile::remove(XdgAutostartLoginItem::entryPath());
            ASSERT_TRUE(writeFile(path, c.before));

            ASSERT_EQ(XdgAutostartLoginItem().registerApplication(QStringLiteral("/opt/vantorel/bin/vantorel")),
                      std::nullopt);
            EXPECT_EQ(readFile(XdgAutostartLoginItem::entryPath()).toStdString(), c.after.toStdString())
                << c.what << " at " << path.toStdString();
            EXPECT_FALSE(QFileInfo::exists(XdgAutostartLoginItem::earlierEntryPath())) << "one entry starts it once";
        }
    }
}
