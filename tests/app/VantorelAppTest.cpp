#include "ConfigurationView.h"
#include "ConfigurationWindowController.h"
#include "LaunchPadView.h"
#include "LaunchPadWindow.h"
#include "LaunchPadWindowController.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestManager.h"
#include "VantorelApp.h"
#include "fake/FakeLoginItemService.h"
#include "fake/FakeWindowActivator.h"

#include <QSystemTrayIcon>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
class VantorelAppTest : public ::testing::Test {
protected:
    std::unique_ptr<VantorelApp> start(bool permissionGranted = true)
    {
        testManager.permission().setAllowed(permissionGranted);
        log.clear();
        return std::make_unique<VantorelApp>(VantorelApp::Services{
            loginItem, activator, QStringLiteral("/opt/vantorel/bin/vantorel"), [this]() -> HotKeyManager & {
                if (linesBeforeManager < 0)
                    linesBeforeManager = int(log.lines().size());
                return testManager.manager();
            }});
    }

    LogCapture log;
    TestManager testManager;
    std::shared_ptr<FakeLoginItemService> loginItem = std::make_shared<FakeLoginItemService>();
    std::shared_ptr<FakeWindowActivator> activator = std::make_shared<FakeWindowActivator>();
    int linesBeforeManager = -1;
};

TEST_F(VantorelAppTest, RegistersTheRunningProgramAsLoginItem)
{
    auto app = start();
    EXPECT_EQ(loginItem->registered(), QStringList({QStringLiteral("/opt/vantorel/bin/vantorel")}));
    EXPECT_TRUE(log.startingWith(QStringLiteral("Failed to register")).isEmpty());
}

TEST_F(VantorelAppTest, LoginItemFailureLogsOneLineAndStartsAnyway)
{
    loginItem->failWith(QStringLiteral("read-only file system"));
    auto app = start();
    EXPECT_EQ(log.startingWith(QStringLiteral("Failed to register app as login item: ")),
              QStringList({QStringLiteral("Failed to register app as login item: read-only file system")}));
    EXPECT_GE(linesBeforeManager, 1); // the manager comes after the login item
}

TEST_F(VantorelAppTest, ManagerIsUpBeforeAnyWindowOpens)
{
    auto app = start();
    EXPECT_GE(linesBeforeManager, 0);
}

TEST_F(VantorelAppTest, WithoutATrayTheEditorShowsAtStartUp)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "this session has a system tray";
    auto app = start();
    EXPECT_EQ(app->statusItem(), nullptr);
    EXPECT_TRUE(app->launchPadWindowController().window().isVisible());
}

TEST_F(VantorelAppTest, MissingPermissionOpensTheConfigurationWindow)
{
    auto granted = start(true);
    EXPECT_FALSE(granted->configurationWindowController().window().isVisible());
    granted.reset();

    auto denied = start(false);
    EXPECT_TRUE(denied->configurationWindowController().window().isVisible());
    EXPECT_TRUE(log.contains(QStringLiteral("📱 View appeared")));
    EXPECT_TRUE(log.contains(QStringLiteral("  • Status: denied")));
}

TEST_F(VantorelAppTest, GearButtonOpensTheConfigurationWindow)
{
    auto app = start();
    app->showShortcutsEditor();
    auto *gear = app->launchPadWindowController().window().findChild<QToolButton *>(QStringLiteral("configurationButton"));
    ASSERT_NE(gear, nullptr);
    QTest::mouseClick(gear, Qt::LeftButton);
    EXPECT_TRUE(app->configurationWindowController().window().isVisible());
}

class LaunchPadWindowControllerTest : public ::testing::Test {
protected:
    TestManager testManager;
    std::shared_ptr<FakeWindowActivator> activator = std::make_shared<FakeWindowActivator>();
    LaunchPadWindowController controller{[this]() -> HotKeyManager & { return testManager.manager(); }, activator};
};

TEST_F(LaunchPadWindowControllerTest, WindowIsAFixedFloatingShortcutsEditor)
{
    LaunchPadWindow &window = controller.window();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Shortcuts Editor"));
    EXPECT_EQ(window.minimumSize(), QSize(260, 360));
    EXPECT_EQ(window.maximumSize(), QSize(260, 360));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window.windowFlags() & Qt::WindowType_Mask, Qt::Tool); // no taskbar entry
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(LaunchPadWindowControllerTest, ShowingAgainGivesTheSameWindowWhereItWas)
{
    EXPECT_EQ(controller.view(), nullptr); // built with the first showing
    controller.showWindow();
    LaunchPadView *view = controller.view();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(controller.window().isVisible());
    EXPECT_EQ(activator->activated().size(), 1);

    controller.window().move(40, 50);
    const QPoint position = controller.window().pos();
    EXPECT_TRUE(controller.window().close());
    EXPECT_FALSE(controller.window().isVisible());

    controller.showWindow();
    EXPECT_TRUE(controller.window().isVisible());
    EXPECT_EQ(controller.view(), view);
    EXPECT_EQ(controller.window().pos(), position);
}

TEST(ConfigurationWindowControllerTest, FixedConfigurationWindowHiddenOnClose)
{
    TestManager testManager;
    ConfigurationWindowController controller([&]() -> HotKeyManager & { return testManager.manager(); }, nullptr);
    QWidget &window = controller.window();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Configuration"));
    EXPECT_EQ(window.minimumSize(), QSize(400, 300));
    EXPECT_EQ(window.maximumSize(), QSize(400, 300));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);

    controller.showWindow();
    ConfigurationView *view = controller.view();
    ASSERT_NE(view, nullptr);
    window.close();
    EXPECT_FALSE(window.isVisible());
    controller.showWindow();
    EXPECT_EQ(controller.view(), view);
}
} // namespace
