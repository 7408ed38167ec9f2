#include "HotKeyManager.h"
#include "LogCapture.h"

#include "fake/FakeAppLauncher.h"
#include "fake/FakeHotkeyService.h"
#include "fake/FakePermissionService.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {
constexpr quint32 keyF = 3, keyK = 40, keyB = 11, keyM = 46;
constexpr quint32 command = HotkeyModifier::command, option = HotkeyModifier::option;

struct Entry {
    const char *name, *shortcut, *target;
};

class ManagerTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    std::shared_ptr<FakeHotkeyService> hotkeys = std::make_shared<FakeHotkeyService>();
    std::shared_ptr<FakeAppLauncher> launcher = std::make_shared<FakeAppLauncher>();
    std::shared_ptr<FakePermissionService> permission = std::make_shared<FakePermissionService>(true);
    QStringList webAddresses;
    QString applicationPath = QStringLiteral("/usr/bin/vantorel");
    LogCapture log;

    void writeFile(const QByteArray &bytes)
    {
        QFile file(home.filePath(QStringLiteral(".vantorel")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void writeButtons(std::initializer_list<Entry> entries)
    {
        QByteArray json = "[";
        for (const Entry &e : entries) {
            json += (json.size() > 1 ? "," : "") + QByteArray(R"({"id":")")
                + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + R"(","name":")" + e.name
                + R"(","shortcut":")" + e.shortcut + R"(","appURLString":")" + e.target + R"("})";
        }
        writeFile(json + "]");
    }

    QByteArray fileBytes() const
    {
        QFile file(home.filePath(QStringLiteral(".vantorel")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<HotKeyManager> start()
    {
        return std::make_unique<HotKeyManager>(HotKeyManager::Services{
            hotkeys, launcher, permission, [this](const QString &address) { webAddresses << address; },
            home.path(), applicationPath});
    }

    // Presses a combination and lets the queued handler run.
    void press(quint32 keyCode, quint32 mask)
    {
        EXPECT_EQ(hotkeys->press(keyCode, mask), 0);
        QCoreApplication::processEvents();
    }
};

TEST_F(ManagerTest, FirstStartCreatesSavesAndRegistersTheDefaultButton)
{
    auto manager = start();
    EXPECT_EQ(log.lines(), (QStringList{
        "🚀 HotKeyManager initialized",
        "📍 App Location: /usr/bin/vantorel",
        "🔐 Initial Permission Status: granted",
        "📱 Loading buttons",
        "💾 Saved 1 buttons",
        "📝 Created default buttons",
        "🎹 Registering shortcuts for 1 buttons",
        "🎹 Registering shortcut: F with modifiers: ModifierFlags(rawValue: 3)",
        "🔑 Creating shortcut ID: 3_2304_1447973964 (key: F, keycode: 3, modifiers: 2304)",
        "✅ Successfully registered shortcut: F"}));
    ASSERT_EQ(manager->buttons().size(), 1);
    const LaunchButton &button = manager->buttons().first();
    EXPECT_EQ(button.name, QStringLiteral("Scrivara"));
    EXPECT_TRUE(button.appURLString.value_or(QString()).startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(fileBytes().startsWith("[{\"id\":\"" + button.id().toString(QUuid::WithoutBraces).toUpper().toLatin1()));
    ASSERT_EQ(hotkeys->registrations().size(), 1);
    EXPECT_EQ(hotkeys->registrations()[0].identity, (HotkeyIdentity{HotKeyManager::signature, keyF, command | option}));

    press(keyF, command | option);
    EXPECT_EQ(webAddresses, QStringList{*button.appURLString});
}

TEST_F(ManagerTest, StartUpReportsPermissionAndACaseSensitiveDerivedDataPath)
{
    permission->setAllowed(false);
    applicationPath = QStringLiteral("/home/u/DerivedData/Vantorel/vantorel");
    writeFile("[]");
    start();
    EXPECT_EQ(log.lines().mid(2, 2), (QStringList{
        "🔐 Initial Permission Status: denied",
        "⚠️ Warning: Running from DerivedData - permissions may not persist"}));
    EXPECT_TRUE(log.contains(QStringLiteral("📂 Loaded 0 buttons")));
    EXPECT_EQ(fileBytes(), QByteArray("[]")) << "an empty list is not replaced by the default";
    EXPECT_EQ(permission->requestCount(), 0) << "start-up never asks the user";

    log.clear();
    applicationPath = QStringLiteral("/home/u/deriveddata/vantorel");
    start();
    EXPECT_TRUE(log.startingWith(QStringLiteral("⚠️")).isEmpty());
}

TEST_F(ManagerTest, AnUnreadableFileLoadsNothingAndIsKeptAsideOnTheNextSave)
{
    const QByteArray unreadable = R"([{"id":"not-a-uuid","name":"A","shortcut":"a"}])";
    writeFile(unreadable);
    auto manager = start();
    EXPECT_TRUE(manager->buttons().isEmpty());
    EXPECT_EQ(log.startingWith(QStringLiteral("❌ Error loading buttons: ")).size(), 1);
    EXPECT_EQ(fileBytes(), unreadable);

    log.clear();
    manager->addButton();
    const QStringList moved = log.startingWith(QStringLiteral("⚠️ Moved the unreadable button file aside to "));
    ASSERT_EQ(moved.size(), 1);
    QFile keptAside(moved[0].section(QStringLiteral(" to "), 1));
    ASSERT_TRUE(keptAside.open(QIODevice::ReadOnly));
    EXPECT_EQ(keptAside.readAll(), unreadable);
}

TEST_F(ManagerTest, PressesReachTheButtonOfTheirCombinationAfterThePressIsHandled)
{
    writeButtons({{"One", "⌘ + ⌥ + F", "file:///one"}, {"Two", "⌃ + F", "file:///two"}});
    auto manager = start();
    EXPECT_EQ(hotkeys->press(keyF, HotkeyModifier::control), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("⌨️ Shortcut pressed with ID: 3_4096_1447973964")));
    EXPECT_TRUE(log.contains(QStringLiteral("✨ Found handler for shortcut: 3_4096_1447973964")));
    EXPECT_TRUE(launcher->opened().isEmpty()) << "the handler runs after the press handling returns";
    QCoreApplication::processEvents();
    EXPECT_EQ(launcher->opened(), QList<QUrl>{QUrl(QStringLiteral("file:///two"))});
    EXPECT_EQ(hotkeys->activationPolicyCalls(), 1);

    press(keyF, command | option);
    EXPECT_EQ(launcher->opened().last(), QUrl(QStringLiteral("file:///one")));

    EXPECT_EQ(hotkeys->pressForeign({HotKeyManager::signature, 5, 0}), 0) << "a press without a handler is consumed";
    EXPECT_TRUE(log.contains(QStringLiteral("❌ No handler found for shortcut: 5_0_1447973964")));
    const QStringList available = log.startingWith(QStringLiteral("🔍 Available handlers: "));
    ASSERT_EQ(available.size(), 1);
    EXPECT_THAT(available[0].section(QStringLiteral(": "), 1).split(QStringLiteral(", ")),
                ::testing::UnorderedElementsAre(QStringLiteral("3_2304_1447973964"), QStringLiteral("3_4096_1447973964")));
}

TEST_F(ManagerTest, RegistrationReplacesAndUnregisteringReleasesEveryHotkey)
{
    writeButtons({{"One", "cmd+k", "file:///one"}, {"Two", "⌘ + K", "file:///two"}});
    auto manager = start();
    EXPECT_EQ(hotkeys->registrations().size(), 1) << "the same combination twice: the last one wins";

    log.clear();
    manager->registerAllShortcuts();
    EXPECT_EQ(hotkeys->registrations().size(), 1);
    EXPECT_TRUE(log.startingWith(QStringLiteral("🗑️")).isEmpty());
    press(keyK, command);
    EXPECT_EQ(launcher->opened(), QList<QUrl>{QUrl(QStringLiteral("file:///two"))});

    log.clear();
    manager->unregisterAllShortcuts();
    EXPECT_EQ(log.lines(), (QStringList{"🚫 Unregistering all shortcuts", "🗑️ Unregistered shortcut: 40_256_1447973964"}));
    EXPECT_TRUE(hotkeys->registrations().isEmpty());
    EXPECT_EQ(hotkeys->press(keyK, command), std::nullopt);
}

TEST_F(ManagerTest, KeysWithoutACodeAndRefusedCombinationsFailForThatButtonOnly)
{
    hotkeys->refuse(keyK, HotkeyModifier::control);
    writeButtons({{"Placeholder", "⌘1", "file:///a"}, {"Held", "ctrl+k", "file:///b"}, {"Fine", "⌥ + F", "file:///c"}});
    auto manager = start();
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to register shortcut: ⌘1")));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to register shortcut: k")));
    EXPECT_EQ(log.startingWith(QStringLiteral("🔑")).size(), 2) << "no id for a key without a code";
    EXPECT_EQ(manager->registeredShortcutIds(), QStringList{QStringLiteral("3_2048_1447973964")});
    EXPECT_EQ(hotkeys->press(keyF, 0), std::nullopt) << "no key is grabbed without modifiers";
}

TEST_F(ManagerTest, LaunchingSendsWebAddressesToTheWebWindowAndTheRestToTheLauncher)
{
    writeFile("[]");
    auto manager = start();
    log.clear();
    auto launch = [&](std::optional<QString> target) {
        manager->launchButton(LaunchButton::withTargetText(QUuid::createUuid(), {}, {}, std::move(target)));
    };
    launch(QStringLiteral("https://example.org/a?b=1"));
    launch(QStringLiteral("HTTPS://example.org"));
    launch(std::nullopt);
    launch(QStringLiteral("http://exa mple.org"));
    launcher->failWith(QStringLiteral("it is not an application"));
    launch(QStringLiteral("file:///tmp/notes.txt"));

    EXPECT_EQ(log.lines(), (QStringList{"🌐 Launching web URL: https://example.org/a?b=1",
                                        "📱 Launching app: HTTPS://example.org",
                                        "📱 Launching app: file:///tmp/notes.txt",
                                        "❌ Failed to launch app: file:///tmp/notes.txt: it is not an application"}));
    EXPECT_EQ(webAddresses, QStringList{"https://example.org/a?b=1"});
    EXPECT_EQ(launcher->opened(), QList<QUrl>{QUrl(QStringLiteral("HTTPS://example.org"))});
}

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
    EXPECT_EQ(log.startingWith(QStringLiteral("🎹")).size(), 2);
    EXPECT_TRUE(log.startingWith(QStringLiteral("🚫")).isEmpty());
    EXPECT_EQ(log.lines().last(), QStringLiteral("❌ Failed to register shortcut: ⌘2"));
    EXPECT_TRUE(fileBytes().endsWith(R"("name":"New Button","shortcut":"⌘2"}])"));
}

TEST_F(ManagerTest, UpdatingKeepsPlaceAndIdThenSavesAndRegistersEverythingAgain)
{
    writeButtons({{"One", "⌘ + A", "file:///one"}, {"Two", "⌘ + B", "https://two.example"}, {"Three", "⌘ + C", "file:///3"}});
    auto manager = start();
    const QUuid second = manager->buttons()[1].id();
    log.clear();
    manager->updateButton(second, QStringLiteral("Mail"), QStringLiteral("⌘ + ⇧ + M"), QUrl(QStringLiteral("file:///mail")));

    ASSERT_EQ(manager->buttons().size(), 3);
    EXPECT_EQ(manager->buttons()[1].id(), second);
    EXPECT_EQ(hotkeys->press(keyB, command), std::nullopt) << "the old combination is released";
    press(keyM, command | HotkeyModifier::shift);
    EXPECT_EQ(launcher->opened(), QList<QUrl>{QUrl(QStringLiteral("file:///mail"))});
    EXPECT_TRUE(fileBytes().contains(R"(","name":"Mail","shortcut":"⌘ + ⇧ + M","appURLString":"file:///mail"},)"));
    EXPECT_EQ(log.startingWith(QStringLiteral("🎹 Registering shortcut: ")),
              (QStringList{"🎹 Registering shortcut: A with modifiers: ModifierFlags(rawValue: 1)",
                           "🎹 Registering shortcut: M with modifiers: ModifierFlags(rawValue: 5)",
                           "🎹 Registering shortcut: C with modifiers: ModifierFlags(rawValue: 1)"}));

    const QByteArray before = fileBytes();
    log.clear();
    manager->updateButton(QUuid::createUuid(), QStringLiteral("X"), QStringLiteral("⌘ + X"), std::nullopt);
    EXPECT_TRUE(log.lines().isEmpty()) << "an unknown id changes nothing";
    EXPECT_EQ(fileBytes(), before);
}
} // namespace
