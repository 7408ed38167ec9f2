#include "EventLoopWait.h"
#include "PrivateSessionBus.h"
#include "fake/FakeShortcutPortal.h"
#include "portal/PortalGlobalShortcutService.h"
#include "portal/PortalTrigger.h"

#include <QHash>

#include <gtest/gtest.h>

#include <memory>

namespace {
using Kind = ShortcutState::Kind;

ShortcutRequest request(const QString &id, QKeyCombination trigger)
{
    return {id, QStringLiteral("Button ") + id, trigger};
}

QStringList idsOf(const PortalShortcutList &shortcuts)
{
    QStringList ids;
    for (const PortalShortcut &shortcut : shortcuts)
        ids << shortcut.id;
    return ids;
}

class PortalShortcutServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        portal = std::make_unique<FakeShortcutPortal>(bus.connect(QStringLiteral("portal")));
        ASSERT_TRUE(portal->isRunning());
        service = std::make_unique<PortalGlobalShortcutService>(QDBusConnection(bus.connect(QStringLiteral("client"))), 2);
        QObject::connect(service.get(), &GlobalShortcutService::stateChanged,
                         [this](const QString &id, const ShortcutState &state) { states.insert(id, state); });
        QObject::connect(service.get(), &GlobalShortcutService::activated,
                         [this](const QString &id, quint64 time) { presses.append({id, time}); });
    }

    void TearDown() override
    {
        service.reset();
        portal.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    }

    bool allAre(Kind kind, const QStringList &ids)
    {
        return runEventLoopUntil([&] {
            return std::all_of(ids.cbegin(), ids.cend(), [&](const QString &id) { return states.value(id).kind == kind; });
        });
    }

    // Lets anything still on its way arrive.
    static void settle() { runEventLoopUntil([] { return false; }, 300); }

    PrivateSessionBus bus;
    std::unique_ptr<FakeShortcutPortal> portal;
    std::unique_ptr<PortalGlobalShortcutService> service;
    QHash<QString, ShortcutState> states;
    QList<std::pair<QString, quint64>> presses;
};

TEST_F(PortalShortcutServiceTest, AnswersPendingAtOnceThenLiveOnTheTriggerTheDesktopAssigned)
{
    portal->setAnswer(FakeShortcutPortal::Answer::AnotherTrigger);
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::AltModifier | Qt::Key_F),
                   request(QStringLiteral("B"), Qt::ControlModifier | Qt::Key_F5)});
    ASSERT_EQ(states.size(), 2) << "every action answers at once";
    EXPECT_EQ(states.value(QStringLiteral("A")).kind, Kind::Pending);

    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(states.value(QStringLiteral("A")).assignedTrigger, FakeShortcutPortal::assignedTrigger());
    ASSERT_EQ(portal->lastBound().size(), 2);
    EXPECT_EQ(portal->lastBound()[0].id, QStringLiteral("A"));
    EXPECT_EQ(portal->lastBound()[0].properties.value(QStringLiteral("description")).toString(),
              QStringLiteral("Button A"));
    EXPECT_EQ(portal->sessionCount(), 1);
    EXPECT_EQ(portal->bindCount(), 1);

    EXPECT_TRUE(service->hasDesktopSettings());
    service->openDesktopSettings();
    EXPECT_TRUE(runEventLoopUntil([&] { return portal->configureCount() == 1; }));
}

// A "no" in the desktop's dialog is final until the list changes: asking
// again would put the dialog up again.
TEST_F(PortalShortcutServiceTest, ADeclinedOrFailedBindAnswersEveryActionAndIsNotRetried)
{
    const QStringList ids{QStringLiteral("A"), QStringLiteral("B")};
    portal->setAnswer(FakeShortcutPortal::Answer::Declined);
    service->bind({request(ids[0], Qt::AltModifier | Qt::Key_A), request(ids[1], Qt::AltModifier | Qt::Key_B)});
    ASSERT_TRUE(allAre(Kind::Declined, ids));
    EXPECT_FALSE(states.value(ids[0]).detail.isEmpty());
    EXPECT_EQ(states.value(ids[0]).detail, states.value(ids[1]).detail) << "one reason for the whole bind";
    settle();
    EXPECT_EQ(portal->bindCount(), 1);

    portal->setAnswer(FakeShortcutPortal::Answer::Failed);
    service->bind({request(ids[0], Qt::AltModifier | Qt::Key_A), request(ids[1], Qt::AltModifier | Qt::Key_C)});
    ASSERT_TRUE(allAre(Kind::Failed, ids));
    settle();
    EXPECT_EQ(portal->bindCount(), 2);
}

TEST_F(PortalShortcutServiceTest, AChangedListClosesTheSessionAndBindsTheNewListOnce)
{
    service->bind({request(QStringLiteral("A"), Qt::AltModifier | Qt::Key_A)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A")}));
    const QString first = portal->latestSession();

    // Two binds in one turn of the event loop: only the last list goes out.
    service->bind({request(QStringLiteral("B"), Qt::AltModifier | Qt::Key_B)});
    service->bind({request(QStringLiteral("A"), Qt::AltModifier | Qt::Key_A),
                   request(QStringLiteral("B"), Qt::AltModifier | Qt::Key_B)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A"), QStringLiteral("B")}));
    settle();
    EXPECT_EQ(portal->closedByClient(), QStringList{first});
    EXPECT_EQ(portal->sessionCount(), 2);
    EXPECT_EQ(portal->bindCount(), 2);
    EXPECT_EQ(idsOf(portal->lastBound()), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
}

TEST_F(PortalShortcutServiceTest, ASessionThePortalClosesIsBoundAgainExactlyOnce)
{
    service->bind({request(QStringLiteral("A"), Qt::AltModifier | Qt::Key_A)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A")}));
    portal->closeSession();
    ASSERT_TRUE(runEventLoopUntil([&] { return portal->bindCount() == 2; }));
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A")}));
    settle();
    EXPECT_EQ(portal->bindCount(), 2);
    EXPECT_EQ(portal->sessionCount(), 2);
}

TEST_F(PortalShortcutServiceTest, ActivationsOfItsOwnSessionArriveWithTheirTime)
{
    service->bind({request(QStringLiteral("A"), Qt::AltModifier | Qt::Key_A)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A")}));
    portal->activate(QStringLiteral("A"), 77, QStringLiteral("/org/freedesktop/portal/desktop/session/1_99/other"));
    portal->activate(QStringLiteral("A"), 1234);
    ASSERT_TRUE(runEventLoopUntil([&] { return !presses.isEmpty(); }));
    settle();
    EXPECT_EQ(presses, (QList<std::pair<QString, quint64>>{{QStringLiteral("A"), 1234}}));
}

TEST(PortalTriggerTest, WritesModifiersThenTheKeysymName)
{
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::MetaModifier | Qt::AltModifier | Qt::Key_F), QStringLiteral("LOGO+ALT+f"));
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::ControlModifier | Qt::Key_F5), QStringLiteral("CTRL+F5"));
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::ShiftModifier | Qt::Key_Minus), QStringLiteral("SHIFT+minus"));
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::AltModifier | Qt::Key_Space), QStringLiteral("ALT+space"));
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::MetaModifier | Qt::Key_1), QStringLiteral("LOGO+1"));
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_BracketLeft),
              QStringLiteral("CTRL+SHIFT+bracketleft"));
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::MetaModifier | Qt::Key_unknown), QString());
}
// A "no" in the desktop's dialog stays a "no": the portal closing that
// session, or restarting, never puts the dialog up again by itself.
TEST_F(PortalShortcutServiceTest, ADeclinedDialogComesBackNeitherAfterASessionCloseNorAfterAPortalRestart)
{
    portal->setAnswer(FakeShortcutPortal::Answer::Declined);
    service->bind({request(QStringLiteral("A"), Qt::AltModifier | Qt::Key_A)});
    ASSERT_TRUE(allAre(Kind::Declined, {QStringLiteral("A")}));
    portal->closeSession();
    settle();
    EXPECT_EQ(portal->sessionCount(), 1);
    EXPECT_EQ(portal->bindCount(), 1);

    // The portal leaves the bus and a new one takes its name.
    portal.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    portal = std::make_unique<FakeShortcutPortal>(bus.connect(QStringLiteral("portal-restarted")));
    ASSERT_TRUE(portal->isRunning());
    settle();
    EXPECT_EQ(portal->sessionCount(), 0);
    EXPECT_EQ(portal->bindCount(), 0);
    portal.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("portal-restarted"));
}

// A desktop that closes every session at once would otherwise have the
// shortcuts bound (and its dialog maybe shown) over and over: after one
// automatic rebind, the next waits until a session has lasted ten minutes.
TEST_F(PortalShortcutServiceTest, APortalThatClosesEverySessionIsBoundAgainAtMostOncePerTenMinutes)
{
    qint64 now = 0;
    service->setClock([&now] { return now; });
    struct Case {
        qint64 reboundSessionLastedMs;
        int bindsAfterItCloses; // the first bind and the first rebind included
    };
    const Case cases[] = {{0, 2}, {10 * 60 * 1000 - 1000, 2}, {10 * 60 * 1000 + 1000, 3}};
    int list = 0;
    for (const Case &c : cases) {
        // A new list: a new session, bound once by the user's change.
        const QString id = QStringLiteral("A%1").arg(++list);
        service->bind({request(id, Qt::AltModifier | Qt::Key_A)});
        ASSERT_TRUE(allAre(Kind::Live, {id}));
        const int before = portal->bindCount();

        portal->closeSession();
        ASSERT_TRUE(runEventLoopUntil([&] { return portal->bindCount() == before + 1; })) << "the first close";
        ASSERT_TRUE(allAre(Kind::Live, {id}));
        now += c.reboundSessionLastedMs;
        // However often it closes from here on.
        for (int close = 0; close < 4; ++close) {
            portal->closeSession();
            settle();
        }
        EXPECT_EQ(portal->bindCount() - before + 1, c.bindsAfterItCloses) << c.reboundSessionLastedMs << " ms";
        EXPECT_EQ(states.value(id).kind, Kind::Failed) << "the rows say the session is gone";
    }
}
} // namespace
