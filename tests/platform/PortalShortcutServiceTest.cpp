#include "DesktopTestKit.h"
#include "EventLoopWait.h"
#include "LogCapture.h"
#include "PrivateSessionBus.h"
#include "QtPrinters.h"
#include "ScopedEnvironment.h"
#include "fake/FakeShortcutPortal.h"
#include "platform/portal/PortalGlobalShortcutService.h"
#include "platform/portal/PortalTrigger.h"
#include "platform/posix/RunningExecutable.h"
#include "platform/xdg/XdgApplicationEntry.h"
#include "platform/xdg/XdgDesktopEntryFile.h"

#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {
using Kind = ShortcutState::Kind;

// "Button A" on Alt+A: a button on Alt and its id's first letter.
ShortcutRequest onAlt(const QString &id)
{
    return {id, QStringLiteral("Button ") + id, Qt::AltModifier | Qt::Key(id.at(0).unicode())};
}

class PortalShortcutServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The service installs a desktop entry where none is installed: in
        // folders of the test's own, never the user's.
        ASSERT_TRUE(dataHome.isValid() && dataDirs.isValid());
        environment.set("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        environment.set("XDG_DATA_DIRS", QFile::encodeName(dataDirs.path()));
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        portal = std::make_unique<FakeShortcutPortal>(bus.connect(QStringLiteral("portal")));
        ASSERT_TRUE(portal->isRunning());
        startService();
    }

    void startService()
    {
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

    // Binds buttons on Alt and their letters and waits until they are live.
    ::testing::AssertionResult bindLive(const QStringList &ids)
    {
        QList<ShortcutRequest> requests;
        for (const QString &id : ids)
            requests << onAlt(id);
        service->bind(requests);
        return allAre(Kind::Live, ids) ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "not live";
    }

    // Lets anything still on its way arrive.
    static void settle() { runEventLoopUntil([] { return false; }, 300); }

    // One action goes live, and neither the log nor the view hear of a problem.
    void bindWithoutAProblem()
    {
        LogCapture log;
        ASSERT_TRUE(bindLive({"A"}));
        EXPECT_EQ(service->serviceProblem(), QString());
        EXPECT_TRUE(log.startingWith(QStringLiteral("Portal: cannot register")).isEmpty());
    }

    ScopedEnvironment environment;
    QTemporaryDir dataHome;
    QTemporaryDir dataDirs;
    PrivateSessionBus bus;
    std::unique_ptr<FakeShortcutPortal> portal;
    std::unique_ptr<PortalGlobalShortcutService> service;
    QHash<QString, ShortcutState> states;
    QList<std::pair<QString, quint64>> presses;
};

TEST_F(PortalShortcutServiceTest, AnswersPendingAtOnceThenLiveOnTheTriggerTheDesktopAssigned)
{
    portal->setAnswer(FakeShortcutPortal::Answer::AnotherTrigger);
    service->bind({onAlt("A"), onAlt("B")});
    ASSERT_EQ(states.size(), 2) << "every action answers at once";
    EXPECT_EQ(states.value("A").kind, Kind::Pending);

    ASSERT_TRUE(allAre(Kind::Live, {"A", "B"}));
    EXPECT_EQ(states.value("A").assignedTrigger, FakeShortcutPortal::assignedTrigger());
    ASSERT_EQ(portal->lastBound().size(), 2);
    EXPECT_EQ(portal->lastBound()[0].id, "A");
    EXPECT_EQ(portal->lastBound()[0].properties.value(QStringLiteral("description")).toString(), "Button A");
    EXPECT_EQ(portal->sessionCount(), 1);
    EXPECT_EQ(portal->bindCount(), 1);

    EXPECT_TRUE(service->hasDesktopSettings());
    service->openDesktopSettings();
    EXPECT_TRUE(runEventLoopUntil([&] { return portal->configureCount() == 1; }));
}

// GNOME 48 answers its dialog's Add with response 2 and the bound shortcuts:
// an answer that carries them is a success whatever its code, and each
// button shows the trigger the desktop reports. Without them, 2 is a failure.
TEST_F(PortalShortcutServiceTest, AnAnswerCarryingTheShortcutsIsASuccessWhateverItsCode)
{
    portal->setAnswer(FakeShortcutPortal::Answer::FailedWithShortcuts);
    LogCapture log;
    ASSERT_TRUE(bindLive({"A", "B"}));
    EXPECT_EQ(states.value("A"), (ShortcutState{Kind::Live, QStringLiteral("Alt+Super+F"), {}}));
    EXPECT_EQ(states.value("B").assignedTrigger, "Alt+Super+F");
    EXPECT_EQ(log.startingWith(QStringLiteral("Portal: the desktop's trigger")),
              (QStringList{"Portal: the desktop's trigger for Button A: Alt+Super+F",
                           "Portal: the desktop's trigger for Button B: Alt+Super+F"}));

    // A failure is final until the list changes.
    portal->setAnswer(FakeShortcutPortal::Answer::Failed);
    service->bind({onAlt("A")});
    ASSERT_TRUE(allAre(Kind::Failed, {"A"}));
    EXPECT_EQ(states.value("A").detail, "Portal: the desktop refused the global shortcuts");
    settle();
    EXPECT_EQ(portal->bindCount(), 2);
}

// What ListShortcuts reports (whatever its code) stands in for a trigger the
// bind's answer leaves out.
TEST_F(PortalShortcutServiceTest, ATriggerTheDesktopListedShowsWhenTheBindsAnswerHasNone)
{
    portal->setListAnswer(2, {{QStringLiteral("A"), {{QStringLiteral("trigger_description"),
                                                      QStringLiteral("Press <Control><Shift>F9")}}}});
    portal->leaveTriggersOut(true);
    LogCapture log;
    ASSERT_TRUE(bindLive({"A", "B"}));
    EXPECT_EQ(states.value("A").assignedTrigger, "Ctrl+Shift+F9");
    EXPECT_EQ(states.value("B").assignedTrigger, QString());
    EXPECT_EQ(log.startingWith(QStringLiteral("Portal: the desktop's trigger")),
              QStringList{"Portal: the desktop's trigger for Button A: Ctrl+Shift+F9"})
        << "no line for a shortcut the desktop names no trigger for";
}

// xdg-desktop-portal refuses an app id without an installed desktop entry:
// the reason is logged once, reachable by the Configuration window, and
// given for the bind the desktop then refuses. The app id is asked for once
// per connection (the portal keeps what it learnt first), a second time only
// when the entry was written just before.
TEST_F(PortalShortcutServiceTest, ARefusedRegistrationIsLoggedOnceAndReachableByTheView)
{
    const QString why = QStringLiteral("Could not register app ID: App info not found for 'org.vantorel.Vantorel'");
    LogCapture log;
    portal->failRegistrations(why);
    portal->setAnswer(FakeShortcutPortal::Answer::Failed);
    service->bind({onAlt("A")});
    ASSERT_TRUE(allAre(Kind::Failed, {"A"}));
    EXPECT_EQ(portal->registeredAppIds(), QStringList(2, QStringLiteral("org.vantorel.Vantorel")))
        << "asked again once, as the entry had just been written";
    EXPECT_EQ(service->serviceProblem(),
              QStringLiteral("The desktop's portal does not accept the app id org.vantorel.Vantorel: ") + why);
    EXPECT_TRUE(states.value("A").detail.endsWith(why)) << states.value("A").detail.toStdString();

    states.clear();
    service->bind({{"A", "Button A", Qt::AltModifier | Qt::Key_B}});
    ASSERT_TRUE(allAre(Kind::Failed, {"A"}));
    settle();
    EXPECT_EQ(portal->registeredAppIds().size(), 2) << "not asked again on the same connection";
    EXPECT_EQ(portal->sessionCount(), 2);
    EXPECT_EQ(log.startingWith(QStringLiteral("Portal: cannot register the app id")),
              QStringList{QStringLiteral("Portal: cannot register the app id org.vantorel.Vantorel: ") + why});
    EXPECT_FALSE(service->serviceProblem().isEmpty()) << "still reachable by the view";
}

// A portal that had not yet seen the entry written a moment before accepts
// the second time: nothing to report then.
TEST_F(PortalShortcutServiceTest, AFreshlyWrittenEntryIsGivenASecondRegistration)
{
    portal->failRegistrations(QStringLiteral("Could not register app ID: App info not found"), 1);
    bindWithoutAProblem();
    EXPECT_EQ(portal->registeredAppIds().size(), 2);
}

TEST_F(PortalShortcutServiceTest, APortalWithoutTheRegistryIsNoProblem)
{
    bindWithoutAProblem();
}

// Chosen by VANTOREL_HOTKEYS where the desktop has no such portal: the
// window says shortcuts cannot work.
TEST_F(PortalShortcutServiceTest, NoPortalVersionIsAProblem)
{
    const PortalGlobalShortcutService absent(QDBusConnection(bus.connect(QStringLiteral("client"))), 0);
    EXPECT_EQ(absent.serviceProblem(), QStringLiteral("The desktop offers no GlobalShortcuts portal."));
}

// The connection already has the app id (newer Qt versions register the
// desktop file name themselves): the portal keeps it, nothing to report.
TEST_F(PortalShortcutServiceTest, AnAppIdThePortalHasAlreadyIsNoProblem)
{
    portal->failRegistrations(QStringLiteral("Could not register app ID: Connection already associated with an "
                                             "application ID"));
    bindWithoutAProblem();
    EXPECT_EQ(portal->registeredAppIds().size(), 1) << "not asked again";
}

// Started from a build folder, the program installs its own desktop entry,
// pointing at itself, before it registers; an entry installed for every user
// (the package's) leaves the user's folder alone.
TEST_F(PortalShortcutServiceTest, TheDesktopEntryIsInstalledBeforeRegisteringUnlessThePackageHasOne)
{
    const QString entry = dataHome.filePath(QStringLiteral("applications/org.vantorel.Vantorel.desktop"));
    ASSERT_EQ(XdgApplicationEntry::userEntryPath(), entry);
    QByteArray atRegister;
    portal->acceptRegistrations();
    portal->onRegister([&] { atRegister = readFile(entry); });
    LogCapture log;
    ASSERT_TRUE(bindLive({"A"}));
    const QString program = RunningExecutable::path();
    ASSERT_FALSE(program.isEmpty());
    EXPECT_TRUE(atRegister.contains("\nExec=" + XdgDesktopEntryFile::execValue(program).toUtf8() + '\n'))
        << atRegister.toStdString();
    EXPECT_TRUE(atRegister.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(atRegister.contains("\nName=Vantorel\n"));
    EXPECT_FALSE(atRegister.contains("Autostart")) << "an application entry, not an autostart one";
    EXPECT_EQ(log.startingWith(QStringLiteral("Portal: installed ")).size(), 1);

    // A program with the package's entry writes none, and asks for the app
    // id once even when the portal refuses it.
    service.reset();
    ASSERT_TRUE(QFile::remove(entry));
    ASSERT_TRUE(writeFile(dataDirs.filePath(QStringLiteral("applications/org.vantorel.Vantorel.desktop")),
                          "[Desktop Entry]\nType=Application\nName=Vantorel\nExec=vantorel\n"));
    startService();
    const qsizetype asked = portal->registeredAppIds().size();
    portal->failRegistrations(QStringLiteral("Could not register app ID: App info not found"));
    ASSERT_TRUE(bindLive({"B"}));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_EQ(portal->registeredAppIds().size(), asked + 1);
}

TEST_F(PortalShortcutServiceTest, AChangedListClosesTheSessionAndBindsTheNewListOnce)
{
    ASSERT_TRUE(bindLive({"A"}));
    const QString first = portal->latestSession();

    // Two binds in one turn of the event loop: only the last list goes out.
    service->bind({onAlt("B")});
    ASSERT_TRUE(bindLive({"A", "B"}));
    settle();
    EXPECT_EQ(portal->closedByClient(), QStringList{first});
    EXPECT_EQ(portal->sessionCount(), 2);
    EXPECT_EQ(portal->bindCount(), 2);
    ASSERT_EQ(portal->lastBound().size(), 2);
    EXPECT_EQ(portal->lastBound()[1].id, "B");
}

TEST_F(PortalShortcutServiceTest, ActivationsOfItsOwnSessionArriveWithTheirTime)
{
    ASSERT_TRUE(bindLive({"A"}));
    portal->activate("A", 77, QStringLiteral("/org/freedesktop/portal/desktop/session/1_99/other"));
    portal->activate("A", 1234);
    ASSERT_TRUE(runEventLoopUntil([&] { return !presses.isEmpty(); }));
    settle();
    EXPECT_EQ(presses, (QList<std::pair<QString, quint64>>{{"A", 1234}}));
}

TEST(PortalTriggerTest, WritesModifiersThenTheKeysymName)
{
    // The keysym names are sway's and GNOME's too, checked with theirs.
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::MetaModifier | Qt::AltModifier | Qt::Key_F), QStringLiteral("LOGO+ALT+f"));
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_BracketLeft),
              QStringLiteral("CTRL+SHIFT+bracketleft"));
    EXPECT_EQ(PortalTrigger::fromCombination(Qt::MetaModifier | Qt::Key_unknown), QString());
}
// A "no" in the desktop's dialog answers every action and stays a "no":
// neither a retry, nor the portal closing that session or restarting, puts
// the dialog up again by itself.
TEST_F(PortalShortcutServiceTest, ADeclinedDialogComesBackNeitherAfterASessionCloseNorAfterAPortalRestart)
{
    portal->setAnswer(FakeShortcutPortal::Answer::Declined);
    service->bind({onAlt("A"), onAlt("B")});
    ASSERT_TRUE(allAre(Kind::Declined, {"A", "B"}));
    EXPECT_FALSE(states.value("A").detail.isEmpty());
    EXPECT_EQ(states.value("A").detail, states.value("B").detail) << "one reason for the whole bind";
    portal->closeSession();
    settle();
    EXPECT_EQ(portal->sessionCount(), 1);
    EXPECT_EQ(portal->bindCount(), 1);
    EXPECT_EQ(states.value("A").kind, Kind::Declined) << "the row still says the user said no";

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
        ASSERT_TRUE(bindLive({id}));
        const int before = portal->bindCount();
        const int sessions = portal->sessionCount();

        portal->closeSession();
        ASSERT_TRUE(runEventLoopUntil([&] { return portal->bindCount() == before + 1; })) << "the first close";
        ASSERT_TRUE(allAre(Kind::Live, {id}));
        EXPECT_EQ(portal->sessionCount(), sessions + 1) << "bound again in a new session";
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

// GNOME's sentence around a GTK accelerator reads as the accelerator; other
// desktops' text stays as it is.
TEST(PortalTriggerTest, ShowsWhatTheDesktopReportsInTheUsualForm)
{
    const QList<std::pair<QString, QString>> cases{
        {QStringLiteral("Press <Alt><Super>f"), QStringLiteral("Alt+Super+F")},
        {QStringLiteral("Press <Control><Shift>F9"), QStringLiteral("Ctrl+Shift+F9")},
        {QStringLiteral("Press <Primary>space"), QStringLiteral("Ctrl+Space")},
        {QStringLiteral("Drücken Sie <Super>1"), QStringLiteral("Super+1")},
        {QStringLiteral("Press <Alt>a or <Super>b"), QStringLiteral("Alt+A, Super+B")},
        {QStringLiteral("Meta+Alt+F"), QStringLiteral("Meta+Alt+F")},
        {QStringLiteral("  CTRL+SHIFT+F9 "), QStringLiteral("CTRL+SHIFT+F9")},
        {QString(), QString()},
    };
    for (const auto &[reported, shown] : cases)
        EXPECT_EQ(PortalTrigger::describe(reported), shown) << reported.toStdString();
}
} // namespace
