#include "HotKeyManager.h"
#include "LogCapture.h"

#include "fake/FakeAppLauncher.h"
#include "fake/FakeHotkeyService.h"
#include "fake/FakePermissionService.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
constexpr quint32 keyF = 3;
constexpr quint32 keyK = 40;
constexpr quint32 commandOption = HotkeyModifier::command | HotkeyModifier::option;

class ManagerTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    std::shared_ptr<FakeHotkeyService> hotkeys = std::make_shared<FakeHotkeyService>();
    std::shared_ptr<FakeAppLauncher> launcher = std::make_shared<FakeAppLauncher>();
    std::shared_ptr<FakePermissionService> permission = std::make_shared<FakePermissionService>(true);
    QStringList webAddresses;
    QString applicationPath = QStringLiteral("/usr/bin/vantorel");
    LogCapture log;

    QString filePath() const { return home.filePath(QStringLiteral(".vantorel")); }

    void writeFile(const QByteArray &bytes)
    {
        QFile file(filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray fileBytes() const
    {
        QFile file(filePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<HotKeyManager> start()
    {
        HotKeyManager::Services services{hotkeys, launcher, permission,
                                         [this](const QString &address) { webAddresses << address; },
                                         home.path(), applicationPath};
        return std::make_unique<HotKeyManager>(std::move(services));
    }

    static QByteArray button(const char *id, const char *name, const char *shortcut, const char *target)
    {
        return QByteArray(R"({"id":")") + id + R"(","name":")" + name + R"(","shortcut":")" + shortcut
            + R"(","appURLString":")" + target + R"("})";
    }

    void runQueuedHandlers() { QCoreApplication::processEvents(); }
};

// ---- start-up ---------------------------------------------------------------

TEST_F(ManagerTest, FirstStartCreatesSavesAndRegistersTheDefaultButton)
{
    auto manager = start();
    const QStringList expected{
        "🚀 HotKeyManager initialized",
        "📍 App Location: /usr/bin/vantorel",
        "🔐 Initial Permission Status: granted",
        "📱 Loading buttons",
        "💾 Saved 1 buttons",
        "📝 Created default buttons",
        "🎹 Registering shortcuts for 1 buttons",
        "🎹 Registering shortcut: F with modifiers: ModifierFlags(rawValue: 3)",
        "🔑 Creating shortcut ID: 3_2304_1447973964 (key: F, keycode: 3, modifiers: 2304)",
        "✅ Successfully registered shortcut: F",
    };
    EXPECT_EQ(log.lines(), expected);
    ASSERT_EQ(manager->buttons().size(), 1);
    const LaunchButton &button = manager->buttons().first();
    EXPECT_EQ(button.name, QStringLiteral("Scrivara"));
    EXPECT_EQ(button.shortcut, QStringLiteral("⌘ + ⌥ + F"));
    ASSERT_TRUE(button.appURLString);
    EXPECT_TRUE(button.appURLString->startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(fileBytes().startsWith("[{\"id\":\"" + button.id().toString(QUuid::WithoutBraces).toUpper().toLatin1()));
    EXPECT_EQ(manager->registeredShortcutIds(), QStringList{QStringLiteral("3_2304_1447973964")});
    ASSERT_EQ(hotkeys->registrations().size(), 1);
    EXPECT_EQ(hotkeys->registrations()[0].identity, (HotkeyIdentity{HotKeyManager::signature, keyF, commandOption}));
    EXPECT_EQ(manager->saveFileURL(), QUrl::fromLocalFile(filePath()));
}

TEST_F(ManagerTest, StartUpWarnsOnlyForACaseSensitiveDerivedDataPath)
{
    permission->setAllowed(false);
    applicationPath = QStringLiteral("/home/u/Library/DerivedData/Vantorel/vantorel");
    writeFile("[]");
    start();
    EXPECT_EQ(log.lines().mid(0, 5),
              (QStringList{"🚀 HotKeyManager initialized",
                           "📍 App Location: /home/u/Library/DerivedData/Vantorel/vantorel",
                           "🔐 Initial Permission Status: denied",
                           "⚠️ Warning: Running from DerivedData - permissions may not persist",
                           "📱 Loading buttons"}));
    EXPECT_EQ(permission->requestCount(), 0) << "start-up never asks the user";

    log.clear();
    applicationPath = QStringLiteral("/home/u/deriveddata/vantorel");
    start();
    EXPECT_TRUE(log.startingWith(QStringLiteral("⚠️")).isEmpty());
}

TEST_F(ManagerTest, AnEmptyListLoadsWithoutCreatingTheDefault)
{
    writeFile("[]");
    auto manager = start();
    EXPECT_TRUE(manager->buttons().isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("📂 Loaded 0 buttons")));
    EXPECT_FALSE(log.contains(QStringLiteral("📝 Created default buttons")));
    EXPECT_EQ(fileBytes(), QByteArray("[]"));
}

TEST_F(ManagerTest, AnUnreadableFileLoadsNothingAndIsKeptAsideOnTheNextSave)
{
    writeFile(R"([{"id":"not-a-uuid","name":"A","shortcut":"a"}])");
    auto manager = start();
    EXPECT_TRUE(manager->buttons().isEmpty());
    ASSERT_EQ(log.startingWith(QStringLiteral("❌ Error loading buttons: ")).size(), 1);
    EXPECT_EQ(fileBytes(), QByteArray(R"([{"id":"not-a-uuid","name":"A","shortcut":"a"}])"));

    log.clear();
    manager->addButton();
    const QStringList moved = log.startingWith(QStringLiteral("⚠️ Moved the unreadable button file aside to "));
    ASSERT_EQ(moved.size(), 1);
    QFile keptAside(moved[0].section(QStringLiteral(" to "), 1));
    ASSERT_TRUE(keptAside.open(QIODevice::ReadOnly));
    EXPECT_EQ(keptAside.readAll(), QByteArray(R"([{"id":"not-a-uuid","name":"A","shortcut":"a"}])"));
    EXPECT_TRUE(log.contains(QStringLiteral("💾 Saved 1 buttons")));
}

// ---- the registry -----------------------------------------------------------

TEST_F(ManagerTest, TwoShortcutsOnOneKeyWithDifferentModifiersBothWork)
{
    writeFile("[" + button("1B4E28BA-2FA1-11D2-883F-0016D3CCA427", "One", "⌘ + ⌥ + F", "file:///one") + ","
              + button("6FA459EA-EE8A-3CA4-894E-DB77E160355E", "Two", "⌃ + F", "file:///two") + "]");
    auto manager = start();
    EXPECT_EQ(hotkeys->registrations().size(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("🔑 Creating shortcut ID: 3_4096_1447973964 (key: F, keycode: 3, modifiers: 4096)")));

    EXPECT_EQ(hotkeys->press(keyF, HotkeyModifier::control), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("⌨️ Shortcut pressed with ID: 3_4096_1447973964")));
    EXPECT_TRUE(log.contains(QStringLiteral("✨ Found handler for shortcut: 3_4096_1447973964")));
    EXPECT_TRUE(launcher->opened().isEmpty()) << "the handler runs after the press handling returns";
    runQueuedHandlers();
    EXPECT_EQ(launcher->opened(), QList<QUrl>{QUrl(QStringLiteral("file:///two"))});
    EXPECT_EQ(hotkeys->activationPolicyCalls(), 1);

    hotkeys->press(keyF, commandOption);
    runQueuedHandlers();
    EXPECT_EQ(launcher->opened().last(), QUrl(QStringLiteral("file:///one")));
}

TEST_F(ManagerTest, ThePressedButtonIsTheOneAsItWasWhenRegistered)
{
    auto manager = start();
    const QUuid id = manager->buttons().first().id();
    manager->updateButton(id, QStringLiteral("Files"), QStringLiteral("⌘ + K"), QUrl(QStringLiteral("file:///files")));
    log.clear();
    hotkeys->press(keyK, HotkeyModifier::command);
    runQueuedHandlers();
    EXPECT_EQ(log.startingWith(QStringLiteral("⌨️")).size(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("📱 Launching app: file:///files")));
    EXPECT_EQ(hotkeys->press(keyF, commandOption), std::nullopt) << "the old combination is released";
}

TEST_F(ManagerTest, APressWithoutAHandlerIsLoggedAndConsumed)
{
    auto manager = start();
    EXPECT_EQ(hotkeys->pressForeign({HotKeyManager::signature, 5, 0}), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("❌ No handler found for shortcut: 5_0_1447973964")));
    EXPECT_TRUE(log.contains(QStringLiteral("🔍 Available handlers: 3_2304_1447973964")));

    manager->unregisterAllShortcuts();
    manager->registerHotKey(QStringLiteral("K"), ModifierFlags::command, [] {});
    manager->unregisterAllShortcuts();
    log.clear();
    manager->registerHotKey(QStringLiteral("K"), ModifierFlags::command, [] {});
    hotkeys->pressForeign({});
    EXPECT_TRUE(log.contains(QStringLiteral("❌ No handler found for shortcut: 0_0_0")));
    EXPECT_TRUE(log.contains(QStringLiteral("🔍 Available handlers: 40_256_1447973964")));
}

TEST_F(ManagerTest, UnregisteringReleasesEveryHotkey)
{
    writeFile("[]");
    auto manager = start();
    log.clear();
    manager->unregisterAllShortcuts();
    EXPECT_EQ(log.lines(), QStringList{"🚫 Unregistering all shortcuts"});

    manager->addButton();
    manager->updateButton(manager->buttons()[0].id(), QStringLiteral("K"), QStringLiteral("⌘ + K"), std::nullopt);
    log.clear();
    manager->unregisterAllShortcuts();
    EXPECT_EQ(log.lines(), (QStringList{"🚫 Unregistering all shortcuts", "🗑️ Unregistered shortcut: 40_256_1447973964"}));
    EXPECT_TRUE(hotkeys->registrations().isEmpty());
    EXPECT_TRUE(manager->registeredShortcutIds().isEmpty());
    EXPECT_EQ(hotkeys->press(keyK, HotkeyModifier::command), std::nullopt);
}

TEST_F(ManagerTest, RegisteringTwiceKeepsOneRegistrationPerShortcut)
{
    auto manager = start();
    log.clear();
    manager->registerAllShortcuts();
    EXPECT_EQ(hotkeys->registrations().size(), 1);
    EXPECT_TRUE(log.startingWith(QStringLiteral("🗑️")).isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Successfully registered shortcut: F")));
    hotkeys->press(keyF, commandOption);
    runQueuedHandlers();
    EXPECT_EQ(log.startingWith(QStringLiteral("⌨️")).size(), 1);
    EXPECT_EQ(webAddresses.size(), 1);
}

TEST_F(ManagerTest, ButtonsOnTheSameCombinationLeaveTheLastOne)
{
    writeFile("[" + button("1B4E28BA-2FA1-11D2-883F-0016D3CCA427", "One", "cmd+k", "file:///one") + ","
              + button("6FA459EA-EE8A-3CA4-894E-DB77E160355E", "Two", "⌘ + K", "file:///two") + "]");
    auto manager = start();
    EXPECT_EQ(hotkeys->registrations().size(), 1);
    hotkeys->press(keyK, HotkeyModifier::command);
    runQueuedHandlers();
    EXPECT_EQ(launcher->opened(), QList<QUrl>{QUrl(QStringLiteral("file:///two"))});
}

TEST_F(ManagerTest, KeysWithoutACodeAndRefusedCombinationsFailForThatButtonOnly)
{
    hotkeys->refuse(keyK, HotkeyModifier::control);
    writeFile("[" + button("1B4E28BA-2FA1-11D2-883F-0016D3CCA427", "Placeholder", "⌘1", "file:///a") + ","
              + button("6FA459EA-EE8A-3CA4-894E-DB77E160355E", "Held", "ctrl+k", "file:///b") + ","
              + button("6FA459EA-EE8A-3CA4-894E-DB77E160355F", "Fine", "⌥ + F", "file:///c") + "]");
    auto manager = start();
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to register shortcut: ⌘1")));
    EXPECT_TRUE(log.startingWith(QStringLiteral("🔑 Creating shortcut ID: 3_0_")).isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to register shortcut: k")));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Successfully registered shortcut: F")));
    EXPECT_EQ(manager->registeredShortcutIds(), QStringList{QStringLiteral("3_2048_1447973964")});
    EXPECT_EQ(hotkeys->press(keyF, 0), std::nullopt) << "no key is grabbed without modifiers";
}

// ---- launching ----------------------------------------------------------------

TEST_F(ManagerTest, LaunchingSendsWebAddressesToTheWebWindowAndTheRestToTheLauncher)
{
    writeFile("[]");
    auto manager = start();
    log.clear();
    auto target = [](const char *text) {
        return LaunchButton::withTargetText(QUuid::createUuid(), {}, {}, QString::fromUtf8(text));
    };
    manager->launchButton(target("https://example.org/a?b=1"));
    manager->launchButton(target("HTTPS://example.org"));
    manager->launchButton(target("file:///usr/share/applications/org.example.Mail.desktop"));
    manager->launchButton(LaunchButton(QUuid::createUuid(), {}, {}, std::nullopt));
    manager->launchButton(target("http://exa mple.org"));
    manager->launchButton(target(""));

    EXPECT_EQ(log.lines(), (QStringList{"🌐 Launching web URL: https://example.org/a?b=1",
                                        "📱 Launching app: HTTPS://example.org",
                                        "📱 Launching app: file:///usr/share/applications/org.example.Mail.desktop"}));
    EXPECT_EQ(webAddresses, QStringList{"https://example.org/a?b=1"});
    EXPECT_EQ(launcher->opened(), (QList<QUrl>{QUrl("HTTPS://example.org"),
                                               QUrl("file:///usr/share/applications/org.example.Mail.desktop")}));
}

TEST_F(ManagerTest, AFailedApplicationLaunchSaysWhy)
{
    writeFile("[]");
    auto manager = start();
    launcher->failWith(QStringLiteral("/tmp/notes.txt is not an application"));
    log.clear();
    manager->launchButton(LaunchButton::withTargetText(QUuid::createUuid(), {}, {}, QStringLiteral("file:///tmp/notes.txt")));
    EXPECT_EQ(log.lines(), (QStringList{"📱 Launching app: file:///tmp/notes.txt",
                                        "❌ Failed to launch app: file:///tmp/notes.txt: /tmp/notes.txt is not an application"}));
}

// ---- list operations -----------------------------------------------------------

TEST_F(ManagerTest, AddingAppendsNumberedPlaceholdersAndRegistersOnlyTheNewOne)
{
    writeFile("[]");
    auto manager = start();
    int notifications = 0;
    QObject::connect(manager.get(), &HotKeyManager::buttonsAboutToChange, [&] { ++notifications; });
    log.clear();
    manager->addButton();
    manager->addButton();
    EXPECT_EQ(notifications, 2);
    ASSERT_EQ(manager->buttons().size(), 2);
    EXPECT_EQ(manager->buttons()[0].name, QStringLiteral("New Button"));
    EXPECT_EQ(manager->buttons()[0].shortcut, QStringLiteral("⌘1"));
    EXPECT_EQ(manager->buttons()[1].shortcut, QStringLiteral("⌘2"));
    EXPECT_FALSE(manager->buttons()[1].appURLString);
    EXPECT_EQ(log.lines(), (QStringList{"💾 Saved 1 buttons",
                                        "🎹 Registering shortcut: ⌘1 with modifiers: ModifierFlags(rawValue: 0)",
                                        "❌ Failed to register shortcut: ⌘1",
                                        "💾 Saved 2 buttons",
                                        "🎹 Registering shortcut: ⌘2 with modifiers: ModifierFlags(rawValue: 0)",
                                        "❌ Failed to register shortcut: ⌘2"}));
    EXPECT_TRUE(fileBytes().endsWith(R"("name":"New Button","shortcut":"⌘2"}])"));
}

TEST_F(ManagerTest, UpdatingKeepsPlaceAndIdThenSavesAndRegistersEverythingAgain)
{
    writeFile("[" + button("1B4E28BA-2FA1-11D2-883F-0016D3CCA427", "One", "⌘ + A", "file:///one") + ","
              + button("6FA459EA-EE8A-3CA4-894E-DB77E160355E", "Two", "⌘ + B", "https://two.example") + ","
              + button("6FA459EA-EE8A-3CA4-894E-DB77E160355F", "Three", "⌘ + C", "file:///three") + "]");
    auto manager = start();
    const QUuid second = manager->buttons()[1].id();
    log.clear();
    manager->updateButton(second, QStringLiteral("Mail"), QStringLiteral("⌘ + ⇧ + M"), std::nullopt);

    ASSERT_EQ(manager->buttons().size(), 3);
    EXPECT_EQ(manager->buttons()[1].id(), second);
    EXPECT_EQ(manager->buttons()[1].name, QStringLiteral("Mail"));
    EXPECT_FALSE(manager->buttons()[1].appURLString);
    EXPECT_TRUE(fileBytes().contains(R"({"id":"6FA459EA-EE8A-3CA4-894E-DB77E160355E","name":"Mail","shortcut":"⌘ + ⇧ + M"})"));
    EXPECT_EQ(log.lines().mid(0, 2), (QStringList{"💾 Saved 3 buttons", "🚫 Unregistering all shortcuts"}));
    const QStringList registering = log.startingWith(QStringLiteral("🎹 Registering shortcut: "));
    EXPECT_EQ(registering, (QStringList{"🎹 Registering shortcut: A with modifiers: ModifierFlags(rawValue: 1)",
                                        "🎹 Registering shortcut: M with modifiers: ModifierFlags(rawValue: 5)",
                                        "🎹 Registering shortcut: C with modifiers: ModifierFlags(rawValue: 1)"}));
    EXPECT_EQ(hotkeys->registrations().size(), 3);
}

TEST_F(ManagerTest, UpdatingAnUnknownIdChangesNothing)
{
    auto manager = start();
    const QByteArray before = fileBytes();
    log.clear();
    manager->updateButton(QUuid::createUuid(), QStringLiteral("X"), QStringLiteral("⌘ + X"), std::nullopt);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(manager->buttons().first().name, QStringLiteral("Scrivara"));
}

TEST_F(ManagerTest, RemovingButtonsNotifiesFirstAndIgnoresBadPositions)
{
    writeFile("[" + button("1B4E28BA-2FA1-11D2-883F-0016D3CCA427", "One", "⌘ + A", "file:///one") + ","
              + button("6FA459EA-EE8A-3CA4-894E-DB77E160355E", "Two", "⌘ + B", "file:///two") + "]");
    auto manager = start();
    qsizetype sizeSeenBeforeChange = -1;
    QObject::connect(manager.get(), &HotKeyManager::buttonsAboutToChange,
                     [&] { sizeSeenBeforeChange = manager->buttons().size(); });
    manager->removeButtons({0, 7, -1});
    EXPECT_EQ(sizeSeenBeforeChange, 2);
    ASSERT_EQ(manager->buttons().size(), 1);
    EXPECT_EQ(manager->buttons()[0].name, QStringLiteral("Two"));
}

// ---- permission ------------------------------------------------------------------

TEST_F(ManagerTest, PermissionFollowsWhetherHotkeysCanWork)
{
    auto manager = start();
    EXPECT_EQ(manager->checkAccessibilityPermission(), HotKeyManager::PermissionStatus::granted);
    EXPECT_TRUE(manager->requestAccessibilityPermission());
    permission->setAllowed(false);
    EXPECT_EQ(manager->checkAccessibilityPermission(), HotKeyManager::PermissionStatus::denied);
    EXPECT_FALSE(manager->requestAccessibilityPermission());
    EXPECT_EQ(permission->requestCount(), 2);
    EXPECT_EQ(HotKeyManager::permissionName(HotKeyManager::PermissionStatus::unknown), QStringLiteral("unknown"));
}
} // namespace
