#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "LogCapture.h"
#include "hotkeys/HotkeyButtons.h"
#include "model/ButtonFileWatcher.h"
#include "model/KeyboardShortcut.h"

#include "fake/FakeAppLauncher.h"
#include "fake/FakeGlobalShortcutService.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

// The manager, its store and its registry on a fake desktop: what is bound,
// what is logged, and what a press launches.
namespace {
using Kind = ShortcutState::Kind;
using Launch = FakeAppLauncher::Launch;

constexpr auto superAlt = Qt::MetaModifier | Qt::AltModifier;

class ManagerTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    std::shared_ptr<FakeGlobalShortcutService> shortcuts = std::make_shared<FakeGlobalShortcutService>();
    std::shared_ptr<FakeAppLauncher> launcher = std::make_shared<FakeAppLauncher>();
    QList<std::pair<QString, quint64>> webAddresses;
    QString applicationPath = QStringLiteral("/usr/bin/vantorel");
    ButtonFileWriter file;
    LogCapture log;

    QString filePath() const { return home.filePath(QStringLiteral(".vantorel")); }
    QByteArray fileBytes() const { return readFile(filePath()); }
    static QByteArray readFile(const QString &path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    // Written in place, as an editor saves.
    static bool writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile out(path);
        return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
    }

    std::unique_ptr<HotkeyButtons> start()
    {
        return std::make_unique<HotkeyButtons>(HotkeyButtons::Services{
            shortcuts, launcher,
            [this](const QString &address, quint64 time) { webAddresses.append({address, time}); }, home.path(),
            applicationPath, nullptr, home.path()});
    }

    std::unique_ptr<HotkeyButtons> startWith(std::initializer_list<std::pair<const char *, const char *>> buttons)
    {
        for (const auto &[name, shortcut] : buttons)
            file.add(QString::fromUtf8(name), QString::fromUtf8(shortcut),
                     QStringLiteral("file:///") + QString::fromUtf8(name).toLower());
        EXPECT_TRUE(file.writeTo(filePath()));
        return start();
    }

    static QString actionId(const LaunchButton &button) { return button.id().toString(QUuid::WithoutBraces).toUpper(); }
};

TEST_F(ManagerTest, FirstStartCreatesSavesAndBindsTheDefaultButton)
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
    EXPECT_TRUE(fileBytes().startsWith("[{\"id\":\"" + actionId(button).toLatin1()));
    EXPECT_TRUE(shortcuts->press(superAlt | Qt::Key_F, 1234));
    EXPECT_EQ(webAddresses, (QList<std::pair<QString, quint64>>{{*button.appURLString, 1234}}));
}

TEST_F(ManagerTest, StartUpReportsPermissionAndKeepsAnEmptyList)
{
    shortcuts->setServiceProblem(QStringLiteral("X11: global hotkeys unavailable: no display"));
    startWith({});
    EXPECT_EQ(log.lines().at(2), QStringLiteral("🔐 Initial Permission Status: denied"));
    EXPECT_EQ(fileBytes(), QByteArray("[]")) << "an empty list is not replaced by the default";
}

TEST_F(ManagerTest, AnUnreadableFileLoadsNothingAndIsKeptAsideOnTheNextSave)
{
    const QByteArray unreadable = R"([{"id":"not-a-uuid","name":"A","shortcut":"a"}])";
    ASSERT_TRUE(writeFile(filePath(), unreadable));
    auto manager = start();
    EXPECT_TRUE(manager->buttons().isEmpty());
    EXPECT_EQ(log.startingWith(QStringLiteral("❌ Error loading buttons: ")).size(), 1);
    EXPECT_EQ(fileBytes(), unreadable);

    log.clear();
    manager->addButton();
    const QStringList moved = log.startingWith(QStringLiteral("⚠️ Moved the unreadable button file aside to "));
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(readFile(moved[0].section(QStringLiteral(" to "), 1)), unreadable);
}

TEST_F(ManagerTest, APressLaunchesItsButtonAtOnceWithThePressTime)
{
    auto manager = startWith({{"One", "⌘ + ⌥ + F"}, {"Two", "⌃ + F"}});
    log.clear();
    qsizetype linesBeforeTheTargetStarted = -1;
    launcher->whileOpening = [&] { linesBeforeTheTargetStarted = log.lines().size(); };
    ASSERT_TRUE(shortcuts->press(Qt::ControlModifier | Qt::Key_F, 77));
    EXPECT_EQ(linesBeforeTheTargetStarted, 0) << "the target starts first, the press is reported after";
    EXPECT_EQ(log.lines(), (QStringList{"⌨️ Shortcut pressed with ID: 3_4096_1447973964",
                                        "✨ Found handler for shortcut: 3_4096_1447973964",
                                        "📱 Launching app: file:///two"}));
    EXPECT_EQ(launcher->opened(), (QList<Launch>{{QUrl(QStringLiteral("file:///two")), 77}}));

    log.clear();
    shortcuts->activate(QStringLiteral("gone"), 79);
    EXPECT_EQ(log.lines().mid(0, 2), (QStringList{"⌨️ Shortcut pressed with ID: gone",
                                                  "❌ No handler found for shortcut: gone"}));
    ASSERT_EQ(log.lines().size(), 3);
    EXPECT_THAT(log.lines()[2].section(QStringLiteral(": "), 1).split(QStringLiteral(", ")),
                ::testing::UnorderedElementsAre(QStringLiteral("3_2304_1447973964"), QStringLiteral("3_4096_1447973964")));
    EXPECT_EQ(launcher->opened().size(), 1);
}

// One physical key, one owner: "=" and "+" (written "Plus") are one key.
TEST_F(ManagerTest, OneKeyTwiceGoesToTheLastButtonAndTheFirstSaysWhy)
{
    auto manager = startWith({{"One", "cmd+k"}, {"Two", "⌘ + K"}, {"Three", "⌘ + ="}, {"Four", "⌘ + Plus"}});
    const LaunchButtonList buttons = manager->buttons();
    ASSERT_EQ(shortcuts->bound().size(), 2);
    EXPECT_EQ(manager->hotkeyState(buttons[0].id())->detail, QStringLiteral("\"Two\" has the same shortcut"));
    EXPECT_EQ(manager->hotkeyState(buttons[2].id())->detail, QStringLiteral("\"Four\" has the same shortcut"));
    EXPECT_EQ(manager->checkShortcut(buttons[2].id(), QStringLiteral("⌘ + =")).sameAs, QStringLiteral("Four"));
    ASSERT_TRUE(shortcuts->press(Qt::MetaModifier | Qt::Key_K));
    EXPECT_EQ(launcher->opened().last().target, QUrl(QStringLiteral("file:///two")));
}

// Each way the desktop can say no fails that button alone, with its reason.
TEST_F(ManagerTest, EachRefusalFailsOnlyItsButtonWithTheDesktopsReason)
{
    const Kind refusals[] = {Kind::TakenElsewhere, Kind::KeyUnavailable, Kind::Declined, Kind::Failed, Kind::NoService};
    for (int i = 0; i < 5; ++i) {
        shortcuts->answerWith(Qt::ControlModifier | Qt::Key(Qt::Key_A + i), {refusals[i], {}, QStringLiteral("why %1").arg(i)});
        file.add(QStringLiteral("Held"), QStringLiteral("ctrl+") + QChar(u'a' + i));
    }
    shortcuts->answerWith(Qt::ControlModifier | Qt::Key_Z, {Kind::NoService, {}, QStringLiteral("why 4")});
    file.add(QStringLiteral("Also without service"), QStringLiteral("ctrl+z"));
    auto manager = startWith({{"Fine", "⌥ + F"}});
    EXPECT_EQ(log.lines().count(QStringLiteral("why 4")), 1) << "a session without a service is said once";
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(manager->hotkeyState(manager->buttons()[i].id())->kind, refusals[i]);
        // The reason comes between its own registration lines and the failure.
        const QString key = QChar(u'a' + i);
        const qsizetype failed = log.lines().indexOf(QStringLiteral("❌ Failed to register shortcut: ") + key);
        ASSERT_GT(failed, 1) << i;
        EXPECT_TRUE(log.lines()[failed - 2].startsWith(QStringLiteral("🔑 Creating shortcut ID: ")));
        EXPECT_TRUE(log.lines()[failed - 2].contains(QStringLiteral("(key: %1,").arg(key)));
        EXPECT_EQ(log.lines()[failed - 1], QStringLiteral("why %1").arg(i));
    }
    EXPECT_EQ(manager->registeredShortcutIds(), QStringList{QStringLiteral("3_2048_1447973964")});
}

// A desktop that asks the user answers later: the registration lines come
// at once, each result line once the answer is final.
TEST_F(ManagerTest, LateAnswersAreLoggedOnceAndKeptForTheEditor)
{
    shortcuts->answerLater();
    auto manager = startWith({{"Mail", "⌘ + M"}});
    const QUuid mail = manager->buttons()[0].id();
    const QString action = actionId(manager->buttons()[0]);
    EXPECT_FALSE(manager->hotkeyState(mail));

    QList<QUuid> changes;
    QObject::connect(manager.get(), &HotkeyButtons::hotkeyStateChanged, [&](QUuid id) { changes.append(id); });
    shortcuts->answer(action, {Kind::Pending, {}, {}});
    EXPECT_EQ(manager->hotkeyState(mail)->kind, Kind::Pending);
    EXPECT_TRUE(log.startingWith(QStringLiteral("✅")).isEmpty());
    shortcuts->answer(action, {Kind::Live, QStringLiteral("Ctrl+Alt+K"), {}});
    shortcuts->answer(action, {Kind::Live, QStringLiteral("Ctrl+Alt+L"), {}});
    EXPECT_EQ(log.startingWith(QStringLiteral("✅")), QStringList{"✅ Successfully registered shortcut: M"});
    EXPECT_EQ(manager->hotkeyState(mail)->assignedTrigger, QStringLiteral("Ctrl+Alt+L"));
    shortcuts->answer(action, {Kind::Declined, {}, QStringLiteral("the user said no")});
    EXPECT_EQ(log.lines().last(), QStringLiteral("the user said no"));
    EXPECT_EQ(changes, QList<QUuid>(4, mail));
    shortcuts->answer(QStringLiteral("unknown"), {Kind::Live, {}, {}});
    EXPECT_EQ(changes.size(), 4) << "answers for actions not asked for are dropped";
}

TEST_F(ManagerTest, LaunchingSendsWebAddressesToTheWebWindowAndTheRestToTheLauncher)
{
    auto manager = startWith({});
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
    EXPECT_EQ(webAddresses.size(), 1);
    EXPECT_EQ(launcher->opened(), (QList<Launch>{{QUrl(QStringLiteral("HTTPS://example.org")), 0}}));
}

// The registry follows the store: each change binds the new list, and only
// what changed is registered or unregistered again.
TEST_F(ManagerTest, ChangesRebindOnlyWhatChanged)
{
    auto manager = startWith({{"One", "⌘ + A"}, {"Two", "⌘ + B"}, {"Three", "⌘ + C"}});
    const QUuid second = manager->buttons()[1].id();

    log.clear();
    manager->updateButton(second, QStringLiteral("Mail"), QStringLiteral("⌘ + ⇧ + M"), QUrl(QStringLiteral("file:///mail")));
    EXPECT_EQ(log.lines(), (QStringList{"💾 Saved 3 buttons", "🗑️ Unregistered shortcut: 11_256_1447973964",
                                        "🎹 Registering shortcut: M with modifiers: ModifierFlags(rawValue: 5)",
                                        "🔑 Creating shortcut ID: 46_768_1447973964 (key: M, keycode: 46, modifiers: 768)",
                                        "✅ Successfully registered shortcut: M"}));
    EXPECT_FALSE(shortcuts->press(Qt::MetaModifier | Qt::Key_B)) << "the old combination is released";
    EXPECT_TRUE(fileBytes().contains(R"(","name":"Mail","shortcut":"⌘ + ⇧ + M","appURLString":"file:///mail"},)"));

    log.clear();
    manager->updateButton(second, QStringLiteral("Post"), QStringLiteral("⌘ + ⇧ + M"), QUrl(QStringLiteral("file:///post")));
    EXPECT_EQ(log.lines(), QStringList{"💾 Saved 3 buttons"}) << "a new name or target binds nothing anew";
    ASSERT_TRUE(shortcuts->press(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_M));
    EXPECT_EQ(launcher->opened().last().target, QUrl(QStringLiteral("file:///post")));

    log.clear();
    manager->removeButtons({0});
    manager->addButton();
    EXPECT_EQ(log.lines(), (QStringList{"💾 Saved 2 buttons", "🗑️ Unregistered shortcut: 0_256_1447973964",
                                        "💾 Saved 3 buttons",
                                        "🎹 Registering shortcut: ⌘3 with modifiers: ModifierFlags(rawValue: 0)",
                                        "❌ Failed to register shortcut: ⌘3"})) << "a key outside the vocabulary gets no id";
    EXPECT_EQ(manager->hotkeyState(manager->buttons().last().id())->detail, QStringLiteral("\"⌘3\" is not a key"));
}

// Hand edits, saves by other programs and synced copies come in while the
// program runs (the end-to-end test also replaces the file by a rename); an
// unreadable version and the program's own saves do not.
TEST_F(ManagerTest, ChangesMadeToTheFileOutsideAreTakenInAndOwnSavesAreNot)
{
    QTemporaryDir synced; // the file lives there; the home has a link to it
    const QString target = synced.filePath(QStringLiteral("vantorel.json"));
    file.add(QStringLiteral("One"), QStringLiteral("⌘ + A"), QStringLiteral("file:///one"));
    ASSERT_TRUE(file.writeTo(target));
    ASSERT_TRUE(QFile::link(target, filePath()));
    auto manager = start();
    const auto reloaded = [&] { return log.lines().filter(QStringLiteral("🔄 Reloaded")).size(); };
    const auto replace = [](const QString &path, const QString &by) {
        return ::rename(QFile::encodeName(by).constData(), QFile::encodeName(path).constData()) == 0;
    };

    log.clear();
    file.add(QStringLiteral("Two"), QStringLiteral("⌘ + B"), QStringLiteral("file:///two"));
    ASSERT_TRUE(writeFile(target, file.bytes())); // in place: only the file itself changes
    ASSERT_TRUE(runEventLoopUntil([&] { return reloaded() == 1; }));
    EXPECT_EQ(manager->buttons().size(), 2);
    EXPECT_TRUE(shortcuts->press(Qt::MetaModifier | Qt::Key_B));
    EXPECT_TRUE(QFileInfo(filePath()).isSymLink());

    log.clear();
    const QString half = target + QStringLiteral(".new"); // a sync half done
    ASSERT_TRUE(writeFile(half, "[{\"id\": "));
    ASSERT_TRUE(replace(target, half));
    ASSERT_TRUE(runEventLoopUntil([&] { return !log.lines().filter(QStringLiteral("cannot be read")).isEmpty(); }));
    EXPECT_EQ(manager->buttons().size(), 2) << "an unreadable version changes nothing";
    EXPECT_EQ(reloaded(), 0);
    EXPECT_TRUE(shortcuts->press(Qt::MetaModifier | Qt::Key_B));

    log.clear();
    ButtonFileWriter fixed; // and the link now points at another copy
    fixed.add(QStringLiteral("Four"), QStringLiteral("⌘ + D"), QStringLiteral("file:///four"));
    const QString otherTarget = synced.filePath(QStringLiteral("other.json"));
    ASSERT_TRUE(fixed.writeTo(otherTarget));
    ASSERT_TRUE(QFile::link(otherTarget, filePath() + QStringLiteral(".new")));
    ASSERT_TRUE(replace(filePath(), filePath() + QStringLiteral(".new")));
    ASSERT_TRUE(runEventLoopUntil([&] { return reloaded() == 1; }));
    ASSERT_EQ(manager->buttons().size(), 1);
    EXPECT_EQ(manager->buttons().first().name, QStringLiteral("Four"));
    EXPECT_FALSE(shortcuts->press(Qt::MetaModifier | Qt::Key_B)) << "a button gone from the file is unbound";
    EXPECT_TRUE(shortcuts->press(Qt::MetaModifier | Qt::Key_D));

    log.clear();
    manager->addButton();
    runEventLoopUntil([] { return false; }, 3 * ButtonFileWatcher::settleMs);
    EXPECT_EQ(reloaded(), 0) << "our own save is no change from outside";
    EXPECT_EQ(manager->buttons().size(), 2);
    EXPECT_TRUE(QFileInfo(filePath()).isSymLink()) << "saves write through the link";
}

// While the editor records a shortcut nothing is bound; changes wait for
// the next registration.
TEST_F(ManagerTest, AfterUnregisteringChangesBindNothingUntilRegisteringAgain)
{
    auto manager = startWith({{"One", "⌘ + A"}});
    log.clear();
    manager->unregisterAllShortcuts();
    EXPECT_EQ(log.lines(), (QStringList{"🚫 Unregistering all shortcuts", "🗑️ Unregistered shortcut: 0_256_1447973964"}));
    EXPECT_FALSE(manager->hotkeyState(manager->buttons()[0].id()));
    EXPECT_FALSE(shortcuts->press(Qt::MetaModifier | Qt::Key_A));
    const int binds = shortcuts->bindCount();
    manager->addButton();
    manager->updateButton(manager->buttons()[0].id(), QStringLiteral("One"), QStringLiteral("⌘ + Z"), std::nullopt);
    EXPECT_EQ(shortcuts->bindCount(), binds);

    log.clear();
    manager->registerAllShortcuts();
    EXPECT_EQ(log.lines().first(), QStringLiteral("🎹 Registering shortcuts for 2 buttons"));
    EXPECT_TRUE(shortcuts->press(Qt::MetaModifier | Qt::Key_Z));
}

// vantorel --activate: a name as typed, else ignoring case, else an id.
TEST_F(ManagerTest, ActivatingFindsTheExactNameThenAnyCaseThenTheIdAndLaunchesAsAPressWould)
{
    file.add(QStringLiteral("MAIL"), QStringLiteral("⌘ + A"), QStringLiteral("file:///upper"));
    file.add(QStringLiteral("Mail"), QStringLiteral("⌘ + B"), QStringLiteral("file:///exact"));
    const QUuid notes = file.add(QStringLiteral("Notes"), QStringLiteral("⌘ + C"), QStringLiteral("https://notes.example"));
    auto manager = startWith({});
    const auto launchedBy = [&](const QString &nameOrId) {
        const qsizetype before = launcher->opened().size() + webAddresses.size();
        const bool found = manager->activateButton(nameOrId);
        EXPECT_EQ(launcher->opened().size() + webAddresses.size(), before + (found ? 1 : 0)) << qPrintable(nameOrId);
        return found;
    };
    ASSERT_TRUE(launchedBy(QStringLiteral("Mail")));
    EXPECT_EQ(launcher->opened().last().target, QUrl(QStringLiteral("file:///exact")));
    ASSERT_TRUE(launchedBy(QStringLiteral("mail")));
    EXPECT_EQ(launcher->opened().last().target, QUrl(QStringLiteral("file:///upper"))) << "the first match ignoring case";
    EXPECT_TRUE(launchedBy(notes.toString(QUuid::WithoutBraces).toLower()));
    EXPECT_EQ(webAddresses.last().first, QStringLiteral("https://notes.example"));
    EXPECT_TRUE(log.contains(QStringLiteral("⌨️ Activated by command: Notes")));
    EXPECT_FALSE(launchedBy(QStringLiteral("Mai")));
    EXPECT_FALSE(launchedBy(QString()));
}
} // namespace
