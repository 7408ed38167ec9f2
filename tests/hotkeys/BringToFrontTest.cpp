#include "ButtonFileWriter.h"
#include "LogCapture.h"
#include "TestManager.h"

#include <QFile>

#include <gtest/gtest.h>

// What a press does when the button's application already has a window:
// the manager on fake desktop services, with the windows laid out by hand.
namespace {
using LaunchMode = ButtonPreferences::LaunchMode;
using Launch = FakeAppLauncher::Launch;
using Activation = FakeRunningApplicationWindows::Activation;

class BringToFrontTest : public ::testing::Test {
protected:
    QByteArray settingsBytes() const
    {
        QFile in(testManager.home() + QStringLiteral("/Vantorel/buttons.ini"));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    bool pressEditor(quint64 time) { return shortcuts.press(Qt::MetaModifier | Qt::AltModifier | Qt::Key_E, time); }

    ButtonFileWriter file;
    QUuid editorId = file.add(QStringLiteral("Editor"), QStringLiteral("⌘ + ⌥ + E"), QStringLiteral("file:///usr/bin/editor"));
    QUuid docsId = file.add(QStringLiteral("Docs"), QStringLiteral("⌘ + ⌥ + D"), QStringLiteral("https://docs.example/guide"));
    LogCapture log;
    TestManager testManager{file.bytes()};
    FakeGlobalShortcutService &shortcuts = testManager.shortcuts();
    FakeAppLauncher &launcher = testManager.launcher();
    FakeRunningApplicationWindows &windows = testManager.windows();
};

TEST_F(BringToFrontTest, ARunningApplicationBehindOthersComesToTheFrontInsteadOfStartingAgain)
{
    const QList<Launch> firstLaunch{{QUrl(QStringLiteral("file:///usr/bin/editor")), 20}};
    ASSERT_TRUE(pressEditor(20));
    EXPECT_EQ(launcher.opened(), firstLaunch) << "nothing runs yet";

    windows.open(7, QStringLiteral("editor"));
    windows.setFrontmost(9);
    ASSERT_TRUE(pressEditor(4321));
    EXPECT_EQ(windows.activated(), (QList<Activation>{{7, 4321}}));
    EXPECT_EQ(launcher.opened(), firstLaunch);
    EXPECT_TRUE(log.contains(QStringLiteral("🪟 Brought Editor to the front")));

    // A web address keeps to the program's own window, whatever else runs.
    windows.open(5, QStringLiteral("guide"));
    ASSERT_TRUE(shortcuts.press(Qt::MetaModifier | Qt::AltModifier | Qt::Key_D, 21));
    EXPECT_EQ(testManager.webAddresses(), (QList<std::pair<QString, quint64>>{{QStringLiteral("https://docs.example/guide"), 21}}));
    EXPECT_EQ(windows.activated().size(), 1);
}

TEST_F(BringToFrontTest, AWindowAlreadyInFrontGetsANewCopyOnlyWhenTheButtonAsksForOne)
{
    windows.open(7, QStringLiteral("editor"));
    windows.setFrontmost(7);
    ASSERT_TRUE(pressEditor(10));
    EXPECT_TRUE(launcher.opened().isEmpty());
    EXPECT_TRUE(windows.activated().isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("🪟 Editor is already in front")));

    testManager.manager().setLaunchMode(editorId, LaunchMode::alwaysNewCopy);
    ASSERT_TRUE(pressEditor(11));
    EXPECT_EQ(launcher.opened(), (QList<Launch>{{QUrl(QStringLiteral("file:///usr/bin/editor")), 11}}));
    EXPECT_TRUE(windows.activated().isEmpty());
}

TEST_F(BringToFrontTest, TheChoiceOutlivesARestartOutsideTheButtonFileAndLeavesWithItsButton)
{
    const QByteArray buttonFile = testManager.fileText();
    testManager.manager().setLaunchMode(editorId, LaunchMode::alwaysNewCopy);
    EXPECT_EQ(testManager.fileText(), buttonFile);

    testManager.restart();
    EXPECT_EQ(testManager.manager().launchMode(editorId), LaunchMode::alwaysNewCopy);
    EXPECT_EQ(testManager.manager().launchMode(docsId), LaunchMode::bringToFront);
    const QByteArray editorGroup = '[' + editorId.toString(QUuid::WithoutBraces).toLatin1() + ']';
    EXPECT_TRUE(settingsBytes().contains(editorGroup + "\nlaunch=always-new-copy")) << settingsBytes().constData();
    EXPECT_FALSE(settingsBytes().contains(docsId.toString(QUuid::WithoutBraces).toLatin1()));

    testManager.manager().removeButtons({0});
    EXPECT_FALSE(settingsBytes().contains(editorGroup));
    EXPECT_EQ(testManager.manager().launchMode(editorId), LaunchMode::bringToFront);
}
} // namespace
