#include "EventLoopWait.h"
#include "LogCapture.h"
#include "fake/FakeSwayIpc.h"
#include "sway/SwayIpcClient.h"
#include "sway/SwayShortcutService.h"

#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {
using Kind = ShortcutState::Kind;

const QString program = QStringLiteral("/opt/Vantorel/bin/vantorel");

ShortcutRequest request(const QString &id, QKeyCombination trigger)
{
    return {id, QStringLiteral("Button ") + id, trigger};
}

QString commandFor(const QString &id)
{
    return QStringLiteral("exec \"%1 --activate '%2'\"").arg(program, id);
}

class SwayShortcutServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        sway = std::make_unique<FakeSwayIpc>(dir.filePath(QStringLiteral("sway-ipc.sock")));
        ASSERT_TRUE(sway->isListening());
        sway->setConfig(QStringLiteral("set $mod Mod4\n"
                                       "bindsym $mod+Return exec foot\n"
                                       "mode \"resize\" {\n    bindsym $mod+r resize grow width 10px\n}\n"));
    }

    void start(const QString &socket = {})
    {
        service = std::make_unique<SwayShortcutService>(socket.isEmpty() ? sway->path() : socket, program);
        QObject::connect(service.get(), &GlobalShortcutService::stateChanged,
                         [this](const QString &id, const ShortcutState &state) { states.insert(id, state); });
    }

    bool allAre(Kind kind, const QStringList &ids)
    {
        return runEventLoopUntil([&] {
            return std::all_of(ids.cbegin(), ids.cend(), [&](const QString &id) { return states.value(id).kind == kind; });
        });
    }

    // Lets anything still on its way arrive.
    static void settle() { runEventLoopUntil([] { return false; }, 200); }

    QTemporaryDir dir;
    std::unique_ptr<FakeSwayIpc> sway;
    std::unique_ptr<SwayShortcutService> service;
    QHash<QString, ShortcutState> states;
};

TEST_F(SwayShortcutServiceTest, BindsEachActionToItsActivateCommandOnceSwaysConfigIsRead)
{
    start();
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::AltModifier | Qt::Key_B),
                   request(QStringLiteral("B"), Qt::ControlModifier | Qt::Key_F5),
                   request(QStringLiteral("R"), Qt::MetaModifier | Qt::Key_R)});
    ASSERT_EQ(states.size(), 3) << "every action answers at once";
    EXPECT_EQ(states.value(QStringLiteral("A")).kind, Kind::Pending);

    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("R")}));
    EXPECT_EQ(states.value(QStringLiteral("A")).assignedTrigger, QStringLiteral("Mod4+Mod1+b"));
    EXPECT_EQ(states.value(QStringLiteral("B")).assignedTrigger, QStringLiteral("Ctrl+F5"));
    const QHash<QString, QString> expected{{QStringLiteral("Mod4+Mod1+b"), commandFor(QStringLiteral("A"))},
                                           {QStringLiteral("Ctrl+F5"), commandFor(QStringLiteral("B"))},
                                           {QStringLiteral("Mod4+r"), commandFor(QStringLiteral("R"))}};
    EXPECT_EQ(sway->bindings(), expected) << "a binding in another mode does not take the default mode's keys";
    EXPECT_EQ(sway->configReads(), 1);
    EXPECT_EQ(sway->subscribers(), 1) << "follows reloads";
    for (const QString &command : sway->commands())
        EXPECT_TRUE(command.startsWith(QLatin1String("bindsym --no-warn "))) << command.toStdString();
    EXPECT_EQ(service->backend(), HotkeyBackend::Sway);
    EXPECT_EQ(service->serviceProblem(), QString());
}

TEST_F(SwayShortcutServiceTest, AChordTheUsersConfigBindsIsTakenAndLeftToIt)
{
    start();
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_Return).kind, Kind::Pending) << "before the config came";
    service->bind({request(QStringLiteral("T"), Qt::MetaModifier | Qt::Key_Return),
                   request(QStringLiteral("F"), Qt::MetaModifier | Qt::Key_F)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("F")}));
    const ShortcutState taken = states.value(QStringLiteral("T"));
    EXPECT_EQ(taken.kind, Kind::TakenElsewhere);
    EXPECT_EQ(taken.detail, QStringLiteral("Mod4+Return is bound in your sway config to: exec foot"));
    EXPECT_FALSE(sway->bindings().contains(QStringLiteral("Mod4+Return")));
    EXPECT_EQ(sway->commands().size(), 1) << "nothing was sent for the taken chord";

    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_Return), taken);
    const ShortcutState free = service->probe(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_Return);
    EXPECT_EQ(free.kind, Kind::Live);
    EXPECT_EQ(free.assignedTrigger, QStringLiteral("Mod4+Shift+Return"));
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_VolumeUp).kind, Kind::KeyUnavailable);
    EXPECT_EQ(sway->commands().size(), 1) << "probing asks sway nothing";
}

TEST_F(SwayShortcutServiceTest, ReleasesWhatLeavesOrChangesAndKeepsWhatStays)
{
    start();
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A),
                   request(QStringLiteral("B"), Qt::MetaModifier | Qt::Key_B),
                   request(QStringLiteral("C"), Qt::MetaModifier | Qt::Key_C)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    const qsizetype sent = sway->commands().size();

    // A stays as it is, B moves to other keys, C goes.
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A),
                   request(QStringLiteral("B"), Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_B)});
    ASSERT_TRUE(runEventLoopUntil([&] { return states.value(QStringLiteral("B")).assignedTrigger == QStringLiteral("Mod4+Shift+b"); }));
    settle();
    const QStringList after = sway->commands().mid(sent);
    EXPECT_TRUE(after.contains(QStringLiteral("unbindsym Mod4+c"))) << after.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(after.contains(QStringLiteral("unbindsym Mod4+b")));
    EXPECT_EQ(after.size(), 3) << "A was not sent again: " << after.join(QLatin1Char('\n')).toStdString();
    const QHash<QString, QString> expected{{QStringLiteral("Mod4+a"), commandFor(QStringLiteral("A"))},
                                           {QStringLiteral("Mod4+Shift+b"), commandFor(QStringLiteral("B"))}};
    EXPECT_EQ(sway->bindings(), expected);

    service->bind({});
    ASSERT_TRUE(runEventLoopUntil([&] { return sway->bindings().isEmpty(); }));
}

TEST_F(SwayShortcutServiceTest, AfterSwayReloadsEveryActionIsBoundAgainAgainstTheNewConfig)
{
    start();
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A),
                   request(QStringLiteral("B"), Qt::MetaModifier | Qt::Key_B)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A"), QStringLiteral("B")}));

    // The user's new config takes Mod4+b for itself.
    sway->setConfig(QStringLiteral("bindsym Mod4+b exec browser\n"));
    LogCapture log;
    sway->reload();
    ASSERT_TRUE(runEventLoopUntil([&] { return sway->bindings().contains(QStringLiteral("Mod4+a")); }));
    ASSERT_TRUE(allAre(Kind::TakenElsewhere, {QStringLiteral("B")}));
    EXPECT_EQ(states.value(QStringLiteral("A")).kind, Kind::Live);
    EXPECT_EQ(states.value(QStringLiteral("B")).detail, QStringLiteral("Mod4+b is bound in your sway config to: exec browser"));
    EXPECT_EQ(sway->configReads(), 2);
    const QHash<QString, QString> expected{{QStringLiteral("Mod4+a"), commandFor(QStringLiteral("A"))}};
    EXPECT_EQ(sway->bindings(), expected);
    EXPECT_TRUE(log.contains(QStringLiteral("sway: the configuration was reloaded; binding Vantorel's shortcuts again")));

    // And again, with the keys free once more.
    sway->setConfig(QString());
    sway->reload();
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A"), QStringLiteral("B")}));
    ASSERT_TRUE(runEventLoopUntil([&] { return sway->bindings().size() == 2; }));
}

TEST_F(SwayShortcutServiceTest, ARefusalFailsThatActionWithSwaysReason)
{
    sway->refuse(QStringLiteral("Mod4+b"), QStringLiteral("Invalid bindsym command: unknown key"));
    start();
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A),
                   request(QStringLiteral("B"), Qt::MetaModifier | Qt::Key_B)});
    ASSERT_TRUE(allAre(Kind::Failed, {QStringLiteral("B")}));
    EXPECT_EQ(states.value(QStringLiteral("B")).detail,
              QStringLiteral("sway refused Mod4+b: Invalid bindsym command: unknown key"));
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A")}));

    // Quitting releases only what sway holds: no unbindsym for B.
    service.reset();
    EXPECT_FALSE(sway->commands().contains(QStringLiteral("unbindsym Mod4+b")));
}

TEST_F(SwayShortcutServiceTest, AReloadThatComesWhileTheProgramQuitsBindsNothingAgain)
{
    start();
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A")}));
    sway->reload(); // its event waits unread while the program quits
    service.reset();
    EXPECT_TRUE(sway->bindings().isEmpty()) << sway->commands().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(sway->configReads(), 1);
}

// Without sway, or once it goes away, every action fails with the reason.
TEST_F(SwayShortcutServiceTest, WithoutSwayOrOnceItGoesAwayEveryActionSaysSo)
{
    const QString nobody = dir.filePath(QStringLiteral("nobody-here.sock"));
    start(nobody);
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A)});
    ASSERT_TRUE(allAre(Kind::Failed, {QStringLiteral("A")}));
    EXPECT_TRUE(states.value(QStringLiteral("A")).detail.startsWith(QLatin1String("Cannot reach sway's IPC at ")))
        << states.value(QStringLiteral("A")).detail.toStdString();
    EXPECT_EQ(service->serviceProblem(), states.value(QStringLiteral("A")).detail);
    EXPECT_FALSE(SwayIpcClient::answers(nobody, 500));
    EXPECT_TRUE(SwayIpcClient::answers(sway->path(), 500));

    start();
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A)});
    ASSERT_TRUE(allAre(Kind::Live, {QStringLiteral("A")}));
    sway->closeConnections();
    ASSERT_TRUE(allAre(Kind::Failed, {QStringLiteral("A")}));
    EXPECT_TRUE(states.value(QStringLiteral("A")).detail.startsWith(QLatin1String("sway's IPC is gone")))
        << states.value(QStringLiteral("A")).detail.toStdString();
    EXPECT_EQ(service->serviceProblem(), states.value(QStringLiteral("A")).detail);
    service->bind({request(QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A),
                   request(QStringLiteral("N"), Qt::MetaModifier | Qt::Key_N)});
    EXPECT_EQ(states.value(QStringLiteral("N")).kind, Kind::Failed);
    service.reset(); // and quitting does not wait for a sway that is gone
}
} // namespace
