#include "WebEngineFixture.h"

#include "QStringPrinter.h"

#include "FrameText.h"
#include "LogCapture.h"
#include "WebWindow.h"
#include "WebWindowController.h"
#include "WindowFrameStore.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The frame as the controller's window reports and stores it.
class WindowFrameTest : public WebEngineFixture {
protected:
    static void showAndSettle(QWidget *window)
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
};

TEST_F(WindowFrameTest, FirstRunUsesTheCentredDefaultContentSize)
{
    LogCapture log;
    auto controller = makeController();
    showAndSettle(controller->window());

    EXPECT_EQ(log.startingWith(QStringLiteral("WebWindow: Using default frame: ")),
              QStringList(QStringLiteral("WebWindow: Using default frame: (0.0, 0.0, 1024.0, 768.0)")));
    EXPECT_EQ(controller->window()->size(), QSize(1024, 768));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((controller->window()->frameGeometry().center() - available.center()).manhattanLength(), 2);
}

TEST_F(WindowFrameTest, EveryMoveAndResizeIsSaved)
{
    auto controller = makeController();
    WebWindow *window = controller->window();
    showAndSettle(window);
    LogCapture log;

    window->move(130, 90);
    window->resize(700, 500);

    const QString expected = FrameText::format(window->frameGeometry());
    EXPECT_EQ(log.startingWith(QStringLiteral("WebWindow: Saved frame: ")).size(), 2);
    EXPECT_EQ(log.lines().last(), QStringLiteral("WebWindow: Saved frame: ") + expected);
    EXPECT_EQ(QSettings().value(WindowFrameStore::settingsKey).toString(), expected);
}

TEST_F(WindowFrameTest, ARestoredWindowGetsExactlyTheSavedFrameRunAfterRun)
{
    QRect saved;
    {
        auto controller = makeController();
        showAndSettle(controller->window());
        controller->window()->move(150, 120);
        controller->window()->resize(640, 480);
        saved = controller->window()->frameGeometry();
    }
    for (int run = 0; run < 3; ++run) {
        LogCapture log;
        auto controller = makeController();
        showAndSettle(controller->window());

        EXPECT_EQ(log.startingWith(QStringLiteral("WebWindow: Loaded frame: ")),
                  QStringList(QStringLiteral("WebWindow: Loaded frame: ") + FrameText::describe(saved)));
        EXPECT_EQ(controller->window()->frameGeometry(), saved) << "run " << run;
    }
}

TEST_F(WindowFrameTest, AnUnreadableValueGivesTheDefaultWhereItStands)
{
    QSettings().setValue(WindowFrameStore::settingsKey, QStringLiteral("not a frame"));
    LogCapture log;
    auto controller = makeController();
    showAndSettle(controller->window());

    EXPECT_TRUE(log.contains(QStringLiteral("WebWindow: Using default frame: (0.0, 0.0, 1024.0, 768.0)")));
    EXPECT_EQ(controller->window()->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(controller->window()->size(), QSize(1024, 768));
}

TEST_F(WindowFrameTest, ASettingsFileThatCannotBeWrittenIsReported)
{
    auto controller = makeController();
    showAndSettle(controller->window());
    QTemporaryDir blocked;
    QFile notADirectory(blocked.filePath(QStringLiteral("file")));
    ASSERT_TRUE(notADirectory.open(QIODevice::WriteOnly));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, notADirectory.fileName());
    LogCapture log;

    controller->window()->move(60, 70);

    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsPath());
    EXPECT_EQ(log.lines(), QStringList(QStringLiteral("WebWindow: Failed to save frame")));
}

TEST_F(WindowFrameTest, OtherWindowsOfTheProgramDoNotTouchTheSavedFrame)
{
    auto controller = makeController();
    QWidget editor;
    showAndSettle(&editor);
    LogCapture log;

    editor.move(40, 40);
    editor.resize(500, 400);

    EXPECT_TRUE(log.startingWith(QStringLiteral("WebWindow: Saved frame: ")).isEmpty());
    EXPECT_FALSE(QSettings().contains(WindowFrameStore::settingsKey));
}

} // namespace
