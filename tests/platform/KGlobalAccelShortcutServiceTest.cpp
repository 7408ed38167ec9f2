#include "EventLoopWait.h"
#include "PrivateSessionBus.h"
#include "QtPrinters.h"
#include "fake/FakeKGlobalAccel.h"
#include "kde/KGlobalAccelShortcutService.h"

#include <QDBusConnection>
#include <QHash>
#include <QList>

#include <algorithm>
#include <memory>
#include <utility>

#include <gtest/gtest.h>

namespace {
const QString component = QStringLiteral("org.vantorel.Vantorel");
const QKeyCombination metaAltF(Qt::MetaModifier | Qt::AltModifier, Qt::Key_F);
const QKeyCombination ctrlShiftK(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_K);
const QKeyCombination altF2(Qt::AltModifier, Qt::Key_F2);
const ShortcutRequest browser{QStringLiteral("A"), QStringLiteral("Browser"), metaAltF};
const ShortcutRequest notes{QStringLiteral("B"), QStringLiteral("Notes"), ctrlShiftK};
const ShortcutRequest terminal{QStringLiteral("C"), QStringLiteral("Terminal"), altF2};

// Each test gets new connections: a name QtDBus knows already would hand
// back the previous test's, on a bus that is gone.
QString connectionName(const char *role)
{
    static int count = 0;
    return QStringLiteral("%1-%2").arg(QLatin1String(role)).arg(++count);
}

class KGlobalAccelShortcutServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        ASSERT_TRUE(daemon.isServing());
        service = std::make_unique<KGlobalAccelShortcutService>(QDBusConnection(bus.connect(connectionName("program"))));
        QObject::connect(service.get(), &GlobalShortcutService::stateChanged,
                         [this](const QString &id, const ShortcutState &state) { states.append({id, state}); });
        QObject::connect(service.get(), &GlobalShortcutService::activated,
                         [this](const QString &id, quint64 time) { presses.append({id, time}); });
    }

    // The latest answer for the action; Failed with "none" when there is none.
    ShortcutState stateOf(const QString &id) const
    {
        for (auto it = states.crbegin(); it != states.crend(); ++it) {
            if (it->first == id)
                return it->second;
        }
        return {ShortcutState::Kind::Failed, {}, QStringLiteral("none")};
    }

    bool settled(const QStringList &ids) const
    {
        return std::all_of(ids.cbegin(), ids.cend(),
                           [this](const QString &id) { return stateOf(id).kind != ShortcutState::Kind::Pending; });
    }

    // Presses until the service reports one: it listens once the daemon
    // has answered its first registration.
    bool pressUntilActivated(const QString &id, qint64 time)
    {
        return runEventLoopUntil([&] {
            if (presses.isEmpty())
                daemon.press(id, time);
            return !presses.isEmpty();
        });
    }

    PrivateSessionBus bus;
    FakeKGlobalAccel daemon{QDBusConnection(bus.connect(connectionName("daemon")))};
    std::unique_ptr<KGlobalAccelShortcutService> service;
    QList<std::pair<QString, ShortcutState>> states;
    QList<std::pair<QString, quint64>> presses;
};

TEST_F(KGlobalAccelShortcutServiceTest, BindAnswersPendingAtOnceThenLiveOnTheKeysTheDaemonGave)
{
    service->bind({browser, notes});
    EXPECT_EQ(stateOf(QStringLiteral("A")).kind, ShortcutState::Kind::Pending);

    ASSERT_TRUE(runEventLoopUntil([this] { return settled({browser.actionId, notes.actionId}); }));
    EXPECT_EQ(stateOf(QStringLiteral("A")), (ShortcutState{ShortcutState::Kind::Live, QStringLiteral("Meta+Alt+F"), {}}));
    EXPECT_EQ(stateOf(QStringLiteral("B")).assignedTrigger, QStringLiteral("Ctrl+Shift+K"));
    // Named like a desktop file, the component would be taken for a launcher.
    EXPECT_EQ(daemon.keysOf(component, QStringLiteral("A")), 0x18000046);
    EXPECT_TRUE(daemon.isActive(component, QStringLiteral("B")));
}

TEST_F(KGlobalAccelShortcutServiceTest, ACombinationHeldElsewhereIsTakenWhileTheOthersAreLive)
{
    daemon.holdElsewhere(ctrlShiftK);
    service->bind({browser, notes});

    ASSERT_TRUE(runEventLoopUntil([this] { return settled({browser.actionId, notes.actionId}); }));
    EXPECT_EQ(stateOf(QStringLiteral("A")).kind, ShortcutState::Kind::Live);
    const ShortcutState taken = stateOf(QStringLiteral("B"));
    EXPECT_EQ(taken.kind, ShortcutState::Kind::TakenElsewhere);
    EXPECT_EQ(taken.detail, QStringLiteral("Ctrl+Shift+K is taken by \"Capture Entire Desktop\" of Spectacle in KDE's "
                                           "shortcuts; choose other keys here or in System Settings → Shortcuts"));

    // Asked while the user edits, before anything is bound.
    const ShortcutState probed = service->probe(ctrlShiftK);
    EXPECT_EQ(probed.kind, ShortcutState::Kind::TakenElsewhere);
    EXPECT_TRUE(probed.detail.contains(QStringLiteral("\"Capture Entire Desktop\" of Spectacle"))) << probed.detail.toStdString();
    EXPECT_EQ(service->probe(altF2).kind, ShortcutState::Kind::Live);
}

TEST_F(KGlobalAccelShortcutServiceTest, ARebindReleasesExactlyTheActionsLeftOut)
{
    service->bind({browser, notes, terminal});
    ASSERT_TRUE(runEventLoopUntil([this] { return daemon.registered().size() == 3; }));

    states.clear();
    service->bind({browser, terminal});
    EXPECT_TRUE(runEventLoopUntil([this] { return daemon.registered().size() == 2; }));
    EXPECT_EQ(daemon.registered(),
              (QStringList{component + QStringLiteral("/A"), component + QStringLiteral("/C")}));
    // Unchanged actions keep their registration and say so at once.
    EXPECT_EQ(stateOf(QStringLiteral("C")).kind, ShortcutState::Kind::Live);
    EXPECT_EQ(stateOf(QStringLiteral("B")).detail, QStringLiteral("none"));
}

TEST_F(KGlobalAccelShortcutServiceTest, ARestartedDaemonGetsEverythingRegisteredAgain)
{
    service->bind({browser, notes});
    ASSERT_TRUE(runEventLoopUntil([this] { return settled({browser.actionId, notes.actionId}); }));
    ASSERT_TRUE(pressUntilActivated(QStringLiteral("A"), 1));

    states.clear();
    presses.clear();
    daemon.restart();
    ASSERT_TRUE(daemon.isServing());
    ASSERT_TRUE(runEventLoopUntil([this] { return daemon.registered().size() == 2; }));
    ASSERT_TRUE(runEventLoopUntil([this] { return settled({browser.actionId, notes.actionId}); }));
    EXPECT_EQ(stateOf(QStringLiteral("A")).kind, ShortcutState::Kind::Live);
    EXPECT_EQ(stateOf(QStringLiteral("B")).kind, ShortcutState::Kind::Live);
    EXPECT_TRUE(std::any_of(states.cbegin(), states.cend(), [](const auto &answer) {
        return answer.second.kind == ShortcutState::Kind::Pending && answer.second.detail.contains(QStringLiteral("stopped"));
    })) << "the rows never said the service had gone";
    ASSERT_TRUE(pressUntilActivated(QStringLiteral("B"), 4242));
    EXPECT_EQ(presses.first(), std::make_pair(QStringLiteral("B"), quint64(4242))) << "a press carries its time";
}
// What the user changes in the editor shows in KDE's shortcut settings: a new
// name as the action's friendly name, new keys as its keys.
TEST_F(KGlobalAccelShortcutServiceTest, ARenameAndNewKeysReachKdesShortcutSettings)
{
    struct Change {
        const char *what;
        QString name;
        QKeyCombination keys;
        QString keysShown;
    };
    const Change changes[] = {
        {"renamed", QStringLiteral("Web"), metaAltF, QStringLiteral("Meta+Alt+F")},
        {"new keys", QStringLiteral("Browser"), altF2, QStringLiteral("Alt+F2")},
        {"both", QStringLiteral("Web & Mail"), ctrlShiftK, QStringLiteral("Ctrl+Shift+K")},
    };
    for (const Change &change : changes) {
        service->bind({browser});
        ASSERT_TRUE(runEventLoopUntil([this] { return settled({browser.actionId}); }));
        ASSERT_EQ(daemon.friendlyNameOf(component, QStringLiteral("A")), QStringLiteral("Browser")) << change.what;
        ASSERT_EQ(daemon.keysOf(component, QStringLiteral("A")), metaAltF.toCombined()) << change.what;

        service->bind({{browser.actionId, change.name, change.keys}});
        ASSERT_TRUE(runEventLoopUntil([this] { return settled({browser.actionId}); }));
        EXPECT_EQ(daemon.friendlyNameOf(component, QStringLiteral("A")), change.name) << change.what;
        EXPECT_EQ(daemon.keysOf(component, QStringLiteral("A")), change.keys.toCombined()) << change.what;
        EXPECT_EQ(stateOf(QStringLiteral("A")), (ShortcutState{ShortcutState::Kind::Live, change.keysShown, {}}))
            << change.what;
        EXPECT_EQ(daemon.registered(), QStringList{component + QStringLiteral("/A")}) << change.what;
    }
}
} // namespace
