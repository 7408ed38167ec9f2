#include "ConfigurationWindowController.h"
#include "LaunchPadWindow.h"
#include "LaunchPadWindowController.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestManager.h"
#include "VantorelApp.h"
#include "fake/FakeLoginItemService.h"

#include <QSystemTrayIcon>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
class VantorelAppTest : public ::testing::Test {
protected:
    std::unique_ptr<VantorelApp> start()
    {
        return std::make_unique<VantorelApp>(
            testManager.manager(), VantorelApp::Services{loginItem, nullptr, QStringLiteral("/opt/vantorel/bin/vantorel")});
    }

    LogCapture log;
    TestManager testManager;
    std::shared_ptr<FakeLoginItemService> loginItem = std::make_shared<FakeLoginItemService>();
};

TEST_F(VantorelAppTest, StartRegistersTheLoginItemAndWithoutATrayShowsTheEditor)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()); // offscreen has none
    auto app = start();
    EXPECT_EQ(loginItem->registered(), QStringList({QStringLiteral("/opt/vantorel/bin/vantorel")}));
    EXPECT_TRUE(app->launchPadWindowController().window().isVisible());
    EXPECT_FALSE(app->configurationWindowController().window().isVisible());
}

// Neither stops the start: the failure is one line, the missing permission
// opens the configuration window.
TEST_F(VantorelAppTest, LoginItemFailureLogsOneLineAndMissingPermissionOpensTheConfiguration)
{
    loginItem->failWith(QStringLiteral("read-only file system"));
    testManager.permission().setAllowed(false);
    auto app = start();
    EXPECT_EQ(log.startingWith(QStringLiteral("Failed to register")),
              QStringList({QStringLiteral("Failed to register app as login item: read-only file system")}));
    EXPECT_TRUE(app->configurationWindowController().window().isVisible());
}

// Where the desktop's settings change only with the user's consent, the
// configuration window asks at start, until the answer is yes.
TEST_F(VantorelAppTest, AConsentTheDesktopWaitsForOpensTheConfiguration)
{
    testManager.shortcuts().asksConsent(QStringLiteral("Add"), QStringLiteral("Remove"));
    auto waiting = start();
    EXPECT_TRUE(waiting->configurationWindowController().window().isVisible());
    waiting.reset();

    testManager.shortcuts().setConsent(true);
    auto given = start();
    EXPECT_FALSE(given->configurationWindowController().window().isVisible());
}
} // namespace
