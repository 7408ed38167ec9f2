#include "xdg/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
// Points HOME and XDG_CONFIG_HOME somewhere private for one test.
class XdgAutostartLoginItemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_home = qgetenv("HOME");
        m_config = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", dir.filePath(QStringLiteral("home")).toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    }

    void TearDown() override
    {
        qputenv("HOME", m_home);
        if (m_config.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_config);
    }

    static QString entryText()
    {
        QFile file(XdgAutostartLoginItem::entryPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir dir;
    XdgAutostartLoginItem loginItem;

private:
    QByteArray m_home;
    QByteArray m_config;
};

TEST_F(XdgAutostartLoginItemTest, WritesAnAutostartEntryForTheProgram)
{
    EXPECT_FALSE(loginItem.registerApplication(QStringLiteral("/usr/bin/vantorel")).has_value());

    EXPECT_EQ(XdgAutostartLoginItem::entryPath(), dir.filePath(QStringLiteral("config/autostart/vantorel.desktop")));
    const QString text = entryText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nType=Application\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=/usr/bin/vantorel\n")));
}

TEST_F(XdgAutostartLoginItemTest, EveryLaunchRewritesTheEntry)
{
    loginItem.registerApplication(QStringLiteral("/old/vantorel"));
    EXPECT_FALSE(loginItem.registerApplication(QStringLiteral("/new/vantorel")).has_value());
    EXPECT_TRUE(entryText().contains(QStringLiteral("Exec=/new/vantorel\n")));
    EXPECT_FALSE(entryText().contains(QStringLiteral("/old/")));
}

TEST_F(XdgAutostartLoginItemTest, FallsBackToDotConfigWithoutTheVariable)
{
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(XdgAutostartLoginItem::entryPath(), dir.filePath(QStringLiteral("home/.config/autostart/vantorel.desktop")));
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(XdgAutostartLoginItem::entryPath(), dir.filePath(QStringLiteral("home/.config/autostart/vantorel.desktop")));
}

TEST(XdgAutostartExec, QuotesReservedCharactersAndEscapesInsideQuotes)
{
    EXPECT_EQ(XdgAutostartLoginItem::execValue(QStringLiteral("/opt/My Tool/vantorel")),
              QStringLiteral("\"/opt/My Tool/vantorel\""));
    EXPECT_EQ(XdgAutostartLoginItem::execValue(QStringLiteral("/opt/a\"b$c`d/vantorel")),
              QStringLiteral("\"/opt/a\\\\\"b\\\\$c\\\\`d/vantorel\""));
    // One backslash becomes four: the Exec escape, then the value escape.
    EXPECT_EQ(XdgAutostartLoginItem::execValue(QStringLiteral("/opt/a\\b")), QStringLiteral("\"/opt/a\\\\\\\\b\""));
    EXPECT_EQ(XdgAutostartLoginItem::execValue(QStringLiteral("/opt/100%/vantorel")),
              QStringLiteral("/opt/100%%/vantorel"));
}

TEST_F(XdgAutostartLoginItemTest, ReportsWhyItFailed)
{
    QFile blocker(dir.filePath(QStringLiteral("config")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should go
    blocker.close();
    const auto failure = loginItem.registerApplication(QStringLiteral("/usr/bin/vantorel"));
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains(QStringLiteral("autostart")));

    EXPECT_TRUE(loginItem.registerApplication(QStringLiteral("vantorel")).has_value());
}
} // namespace
