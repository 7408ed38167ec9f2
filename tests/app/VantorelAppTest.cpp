#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestManager.h"
#include "app/ConfigurationWindowController.h"
#include "app/ShortcutsEditorWindow.h"
#include "app/ShortcutsEditorWindowController.h"
#include "app/TrayIcon.h"
#include "app/VantorelApp.h"
#include "fake/FakeLoginItemService.h"

#include "platform/DesktopNotifications.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
class RecordedNotifications final : public DesktopNotifications {
public:
    void notify(const QString &summary, const QString &body) override { shown.append({summary, body}); }
    QList<std::pair<QString, QString>> shown;
};

class VantorelAppTest : public ::testing::Test {
protected:
    std::unique_ptr<VantorelApp> start()
    {
        return std::make_unique<VantorelApp>(
            testManager.manager(), VantorelApp::Services{loginItem, nullptr, QStringLiteral("/opt/vantorel/bin/vantorel"), notifications});
    }

    LogCapture log;
    TestManager testManager;
    std::shared_ptr<FakeLoginItemService> loginItem = std::make_shared<FakeLoginItemService>();
    std::shared_ptr<RecordedNotifications> notifications = std::make_shared<RecordedNotifications>();
};

TEST_F(VantorelAppTest, StartRegistersTheLoginItemAndWithoutATrayShowsTheEditor)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()); // offscreen has none
    auto app = start();
    EXPECT_EQ(loginItem->registered(), QStringList({QStringLiteral("/opt/vantorel/bin/vantorel")}));
    EXPECT_TRUE(app->shortcutsEditor().window().isVisible());
    EXPECT_FALSE(app->configurationWindowController().window().isVisible());
}

// Neither stops the start: the failure is one line, hotkeys that cannot work
// open the configuration window.
TEST_F(VantorelAppTest, LoginItemFailureLogsOneLineAndMissingPermissionOpensTheConfiguration)
{
    loginItem->failWith(QStringLiteral("read-only file system"));
    testManager.shortcuts().setServiceProblem(QStringLiteral("X11: global hotkeys unavailable: no display"));
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

// A launch that fails while no Vantorel window is in front is told by the
// desktop; with one in front, its badge says it.
TEST_F(VantorelAppTest, AFailedLaunchIsADesktopNotificationOnlyWhileNoWindowIsInFront)
{
    auto app = start();
    testManager.manager().addButton();
    const LaunchButton button = testManager.manager().buttons().constLast();
    testManager.manager().updateButton(button.id(), QStringLiteral("Terminal"), QString(),
                                       QUrl(QStringLiteral("file:///usr/bin/xterm")));
    testManager.launcher().failWith(QStringLiteral("no such file"));
    QWidget &editor = app->shortcutsEditor().window();

    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeWindow() != nullptr; }, 2000));
    ASSERT_TRUE(testManager.manager().activateButton(QStringLiteral("Terminal")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(notifications->shown.isEmpty());

    editor.hide();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeWindow() == nullptr; }, 2000));
    ASSERT_TRUE(testManager.manager().activateButton(QStringLiteral("Terminal")));
    QCoreApplication::processEvents();
    ASSERT_EQ(notifications->shown.size(), 1);
    EXPECT_TRUE(notifications->shown.at(0).first.contains(QStringLiteral("Terminal")));
    EXPECT_EQ(notifications->shown.at(0).second, QStringLiteral("no such file"));
}

// The editor opens at 260 × 360 the first time, can be made taller and
// opens at the size it was left at; its title bar offers no maximize button.
TEST_F(VantorelAppTest, TheEditorWindowResizesAndRemembersItsSize)
{
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    {
        ShortcutsEditorWindow window;
        EXPECT_EQ(window.size(), QSize(260, 360));
        EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(window.windowFlags() & Qt::CustomizeWindowHint) << "else the window manager adds the buttons";
        EXPECT_NE(window.minimumSize(), window.maximumSize());
        window.show();
        window.resize(300, 520);
        EXPECT_EQ(window.size(), QSize(300, 520));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QSettings().contains(ShortcutsEditorWindow::sizeKey); }, 3000));
    }
    ShortcutsEditorWindow again;
    EXPECT_EQ(again.size(), QSize(300, 520));
}
// A tray menu's shortcut works only while the menu is open: none is shown.
TEST(TrayIconTest, TheTrayMenuOffersTheEditorAndQuitWithoutAShortcutItCannotKeep)
{
    TrayIcon item;
    QStringList texts;
    for (const QAction *action : item.menu().actions()) {
        texts.append(action->text());
        EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
    }
    EXPECT_EQ(texts, QStringList({QStringLiteral("Shortcuts Editor"), QString(), QStringLiteral("Quit")}));
}
} // namespace
