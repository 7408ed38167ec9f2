// GLib first: its headers use "signals" as a field name, a Qt macro.
#include <gio/gdesktopappinfo.h>

#include "DesktopTestKit.h"
#include "ScopedEnvironment.h"
#include "platform/xdg/XdgApplicationEntry.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
using Outcome = XdgApplicationEntry::Outcome;

// Private data folders: the user's ($XDG_DATA_HOME) and everybody's
// ($XDG_DATA_DIRS); HOME too, for the fallback.
class XdgApplicationEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        environment.set("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("data"))));
        environment.set("XDG_DATA_DIRS", QFile::encodeName(root.filePath(QStringLiteral("system"))));
        environment.set("HOME", QFile::encodeName(root.filePath(QStringLiteral("home"))));
    }

    ScopedEnvironment environment;
    QTemporaryDir root;
};

// Written where none is installed, the entry starts exactly this program,
// as GIO launches it; it is brought up to date when the program moves and
// keeps what the user added.
TEST_F(XdgApplicationEntryTest, WrittenWhereNoneIsInstalledItStartsTheRunningProgram)
{
    const QString entry = root.filePath(QStringLiteral("data/applications/org.vantorel.Vantorel.desktop"));
    ASSERT_EQ(XdgApplicationEntry::userEntryPath(), entry);
    const QString program = root.filePath(QStringLiteral("build dir/bin/vantorel"));
    ASSERT_TRUE(writeFile(program, "#!/bin/sh\ntouch \"$0.ran\"\n", true));

    XdgApplicationEntry::Result result = XdgApplicationEntry::ensureFor(program);
    EXPECT_EQ(result.outcome, Outcome::installed);
    EXPECT_EQ(result.error, std::nullopt);
    GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(QFile::encodeName(entry).constData());
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, nullptr));
    g_object_unref(info);
    EXPECT_TRUE(runEventLoopUntil([&] { return QFileInfo::exists(program + QStringLiteral(".ran")); }, 5000));

    EXPECT_EQ(XdgApplicationEntry::ensureFor(program).outcome, Outcome::unchanged);

    ASSERT_TRUE(writeFile(entry, readFile(entry) + "NoDisplay=true\n"));
    result = XdgApplicationEntry::ensureFor(QStringLiteral("/opt/vantorel/bin/vantorel"));
    EXPECT_EQ(result.outcome, Outcome::updated);
    const QByteArray updated = readFile(entry);
    EXPECT_TRUE(updated.contains("\nExec=/opt/vantorel/bin/vantorel\n")) << updated.toStdString();
    EXPECT_TRUE(updated.contains("\nNoDisplay=true\n")) << "the user's line stays";
    EXPECT_EQ(updated.count("Exec="), 1);
}

// An installed Vantorel has the package's entry: the user's folder stays as
// it is. Without XDG_DATA_HOME (or with a relative one) the user's folder is
// ~/.local/share; one that cannot be made is reported.
TEST_F(XdgApplicationEntryTest, ThePackagesEntryLeavesTheUsersFolderAlone)
{
    ASSERT_TRUE(writeFile(root.filePath(QStringLiteral("system/applications/org.vantorel.Vantorel.desktop")),
                          "[Desktop Entry]\nType=Application\nName=Vantorel\nExec=vantorel\n"));
    EXPECT_EQ(XdgApplicationEntry::ensureFor(QStringLiteral("/usr/bin/vantorel")).outcome, Outcome::systemEntry);
    EXPECT_FALSE(QFileInfo::exists(XdgApplicationEntry::userEntryPath()));

    qunsetenv("XDG_DATA_DIRS"); // /usr/local/share and /usr/share, where this machine may have one
    for (const char *dataHome : {"", "relative/data"}) {
        qputenv("XDG_DATA_HOME", dataHome);
        EXPECT_EQ(XdgApplicationEntry::userEntryPath(),
                  root.filePath(QStringLiteral("home/.local/share/applications/org.vantorel.Vantorel.desktop")));
    }

    qputenv("XDG_DATA_DIRS", QFile::encodeName(root.filePath(QStringLiteral("system-empty"))));
    ASSERT_TRUE(writeFile(root.filePath(QStringLiteral("a-file")), "not a folder"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("a-file"))));
    const XdgApplicationEntry::Result result = XdgApplicationEntry::ensureFor(QStringLiteral("/usr/bin/vantorel"));
    ASSERT_NE(result.error, std::nullopt);
    EXPECT_TRUE(result.error->contains(QStringLiteral("a-file"))) << result.error->toStdString();
}
} // namespace
