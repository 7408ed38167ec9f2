#include "ButtonFileWriter.h"
#include "HotKeyManager.h"
#include "KeyboardShortcut.h"
#include "LogCapture.h"

#include "fake/FakeAppLauncher.h"
#include "fake/FakeGlobalShortcutService.h"
#include "fake/FakePermissionService.h"
#include "fake/FakeRunningApplicationWindows.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// What a press does when the button's application already has a window:
// the manager on fake desktop services, with the windows laid out by hand.
namespace {
using LaunchMode = ButtonPreferences::LaunchMode;
using Launch = FakeAppLauncher::Launch;
using Activation = FakeRunningApplicationWindows::Activation;

constexpr auto superAlt = Qt::MetaModifier | Qt::AltModifier;

class BringToFrontTest : public ::testing::Test {
protected:
    BringToFrontTest()
    {
        editorId = file.add(QStringLiteral("Editor"), QStringLiteral("⌘ + ⌥ + E"), QStringLiteral("file:///usr/bin/editor"));
        docsId = file.add(QStringLiteral("Docs"), QStringLiteral("⌘ + ⌥ + D"), QStringLiteral("https://docs.example/guide"));
        EXPECT_TRUE(file.writeTo(buttonFilePath()));
        manager = start();
    }

    std::unique_ptr<HotKeyManager> start()
    {
        return std::make_unique<HotKeyManager>(HotKeyManager::Services{
            shortcuts, launcher, permission,
            [this](const QString &address, quint64 time) { webAddresses.append({address, time}); }, home.path(),
            QStringLiteral("/usr/bin/vantorel"), windows, configPath()});
    }

    QString buttonFilePath() const { return home.path() + QStringLiteral("/.vantorel"); }
    QString configPath() const { return home.path() + QStringLiteral("/config"); }
    static QByteArray bytesOf(const QString &path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    QByteArray buttonFileBytes() const { return bytesOf(buttonFilePath()); }
    QByteArray settingsBytes() const { return bytesOf(configPath() + QStringLiteral("/Vantorel/buttons.ini")); }

    bool pressEditor(quint64 time) { return shortcuts->press(superAlt | Qt::Key_E, time); }

    QTemporaryDir home;
    std::shared_ptr<FakeGlobalShortcutService> shortcuts = std::make_shared<FakeGlobalShortcutService>();
    std::shared_ptr<FakeAppLauncher> launcher = std::make_shared<FakeAppLauncher>();
    std::shared_ptr<FakePermissionService> permission = std::make_shared<FakePermissionService>(true);
    std::shared_ptr<FakeRunningApplicationWindows> windows = std::make_shared<FakeRunningApplicationWindows>();
    QList<std::pair<QString, quint64>> webAddresses;
    ButtonFileWriter file;
    QUuid editorId;
    QUuid docsId;
    LogCapture log;
    std::unique_ptr<HotKeyManager> manager;
};

TEST_F(BringToFrontTest, ARunningApplicationBehindOthersComesToTheFrontInsteadOfStartingAgain)
{
    const QList<Launch> firstLaunch{{QUrl(QStringLiteral("file:///usr/bin/editor")), 20}};
    ASSERT_TRUE(pressEditor(20));
    EXPECT_EQ(launcher->opened(), firstLaunch) << "nothing runs yet";

    windows->open(7, QStringLiteral("editor"));
    windows->setFrontmost(9);
    ASSERT_TRUE(pressEditor(4321));
    EXPECT_EQ(windows->activated(), (QList<Activation>{{7, 4321}}));
    EXPECT_EQ(launcher->opened(), firstLaunch);
    EXPECT_TRUE(log.contains(QStringLiteral("🪟 Brought Editor to the front")));

    // A web address keeps to the program's own window, whatever else runs.
    windows->open(5, QStringLiteral("guide"));
    ASSERT_TRUE(shortcuts->press(superAlt | Qt::Key_D, 21));
    EXPECT_EQ(webAddresses, (QList<std::pair<QString, quint64>>{{QStringLiteral("https://docs.example/guide"), 21}}));
    EXPECT_EQ(windows->activated().size(), 1);
}

TEST_F(BringToFrontTest, AWindowAlreadyInFrontGetsANewCopyOnlyWhenTheButtonAsksForOne)
{
    windows->open(7, QStringLiteral("editor"));
    windows->setFrontmost(7);
    ASSERT_TRUE(pressEditor(10));
    EXPECT_TRUE(launcher->opened().isEmpty());
    EXPECT_TRUE(windows->activated().isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("🪟 Editor is already in front")));

    manager->setLaunchMode(editorId, LaunchMode::alwaysNewCopy);
    ASSERT_TRUE(pressEditor(11));
    EXPECT_EQ(launcher->opened(), (QList<Launch>{{QUrl(QStringLiteral("file:///usr/bin/editor")), 11}}));
    EXPECT_TRUE(windows->activated().isEmpty());
}

TEST_F(BringToFrontTest, TheChoiceOutlivesARestartOutsideTheButtonFileAndLeavesWithItsButton)
{
    const QByteArray buttonFile = buttonFileBytes();
    manager->setLaunchMode(editorId, LaunchMode::alwaysNewCopy);
    EXPECT_EQ(buttonFileBytes(), buttonFile);

    manager.reset();
    manager = start();
    EXPECT_EQ(manager->launchMode(editorId), LaunchMode::alwaysNewCopy);
    EXPECT_EQ(manager->launchMode(docsId), LaunchMode::bringToFront);
    const QByteArray editorGroup = '[' + editorId.toString(QUuid::WithoutBraces).toLatin1() + ']';
    EXPECT_TRUE(settingsBytes().contains(editorGroup + "\nlaunch=always-new-copy")) << settingsBytes().constData();
    EXPECT_FALSE(settingsBytes().contains(docsId.toString(QUuid::WithoutBraces).toLatin1()));

    manager->removeButtons({0});
    EXPECT_FALSE(settingsBytes().contains(editorGroup));
    EXPECT_EQ(manager->launchMode(editorId), LaunchMode::bringToFront);
}
} // namespace
