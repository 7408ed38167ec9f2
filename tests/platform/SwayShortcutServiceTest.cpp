#include "DesktopTestKit.h"
#include "EventLoopWait.h"
#include "HeadlessSway.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "RequiredTool.h"
#include "platform/sway/SwayIpcClient.h"
#include "platform/sway/SwayIpcFrame.h"
#include "platform/sway/SwayShortcutService.h"

#include <QElapsedTimer>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>


namespace {
using Kind = ShortcutState::Kind;

ShortcutRequest request(const QString &id, QKeyCombination trigger)
{
    return {id, QStringLiteral("Button ") + id, trigger};
}

// "Button A" on Super+A: a button on Super and its id's first letter.
ShortcutRequest onSuper(const QString &id)
{
    return request(id, Qt::MetaModifier | Qt::Key(id.at(0).unicode()));
}

// The backend against a real headless sway, one per test (it starts in a
// tenth of a second). What a binding runs is a recorder script that notes
// its arguments; keys are typed into sway with wtype.
class SwayShortcutServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const QString missing = HeadlessSway::missingTool(); !missing.isEmpty())
            VANTOREL_SKIP_OR_FAIL(missing.toStdString());
        ASSERT_TRUE(dir.isValid());
        const QByteArray ran = QFile::encodeName(dir.filePath(QStringLiteral("ran")));
        ASSERT_TRUE(write(QStringLiteral("record"), "#!/bin/sh\necho \"$*\" >> '" + ran + "'\n"));
        ASSERT_TRUE(QFile::setPermissions(program(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                         | QFileDevice::ReadOther | QFileDevice::ExeOther));
        ASSERT_TRUE(write(QStringLiteral("sway.d/tools.conf"),
                          "bindsym $mod+Mod1+t exec " + QFile::encodeName(program()) + " config-t\n"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), dir.path());
        sway = std::make_unique<HeadlessSway>(dir.path(), config(QStringLiteral(
            "# bindsym $mod+x exec %1 config-x\n"
            "bindsym --no-warn $mod+Return \\\n    exec %1 config-return\n"
            "include sway.d/*.conf\n"
            "mode \"resize\" {\n    bindsym $mod+r exec %1 config-r\n}\n")), environment);
        ASSERT_TRUE(sway->isRunning()) << sway->error().toStdString();
    }

    QString program() const { return dir.filePath(QStringLiteral("record")); }

    QString config(const QString &bindings) const
    {
        return QStringLiteral("xwayland disable\nset $mod Mod4\n") + QString(bindings).replace(QStringLiteral("%1"), program());
    }

    bool write(const QString &name, const QByteArray &text) const { return writeFile(dir.filePath(name), text); }

    // As the user editing the config and running `swaymsg reload`.
    void reloadWith(const QString &bindings)
    {
        ASSERT_TRUE(write(QStringLiteral("sway.conf"), config(bindings).toUtf8()));
        const auto [status, reply] = sway->message({QStringLiteral("reload")});
        ASSERT_EQ(status, 0) << reply.toStdString();
    }

    void start(const QString &socket = {})
    {
        service = std::make_unique<SwayShortcutService>(socket.isEmpty() ? sway->socketPath() : socket, program());
        QObject::connect(service.get(), &GlobalShortcutService::stateChanged,
                         [this](const QString &id, const ShortcutState &state) { states.insert(id, state); });
    }

    bool allAre(Kind kind, const QStringList &ids)
    {
        return runEventLoopUntil([&] {
            return std::all_of(ids.cbegin(), ids.cend(), [&](const QString &id) { return states.value(id).kind == kind; });
        });
    }

    // How often the recorder ran with these arguments.
    qsizetype runs(const QString &arguments) const
    {
        QFile file(dir.filePath(QStringLiteral("ran")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')).count(arguments) : 0;
    }

    // Types a chord such as "logo+alt+b" (wtype's names) into sway until the
    // recorder runs once more with these arguments; whether it did.
    bool pressRuns(const QString &chord, const QString &arguments)
    {
        QStringList modifiers = chord.split(QLatin1Char('+'));
        const QString key = modifiers.takeLast();
        QStringList typed;
        for (const QString &modifier : modifiers)
            typed << QStringLiteral("-M") << modifier;
        typed << QStringLiteral("-k") << key;
        for (const QString &modifier : modifiers)
            typed << QStringLiteral("-m") << modifier;
        const qsizetype before = runs(arguments);
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (sway->type(typed) && runEventLoopUntil([&] { return runs(arguments) > before; }, 1000))
                return true;
        }
        return false;
    }

    // Whether sway holds a binding on keys in its default mode; it does not
    // afterwards.
    bool unbinds(const QString &keys) { return sway->message({QStringLiteral("unbindsym ") + keys}).first == 0; }

    // Lets anything still on its way arrive.
    static void settle() { runEventLoopUntil([] { return false; }, 200); }

    QTemporaryDir dir;
    std::unique_ptr<HeadlessSway> sway;
    std::unique_ptr<SwayShortcutService> service;
    QHash<QString, ShortcutState> states;
};

const QString activateA = QStringLiteral("--activate A"), activateB = QStringLiteral("--activate B");

TEST_F(SwayShortcutServiceTest, BindsEachActionToItsActivateCommandOnceSwaysConfigIsRead)
{
    start();
    service->bind({request("A", Qt::MetaModifier | Qt::AltModifier | Qt::Key_B),
                   request("B", Qt::ControlModifier | Qt::Key_F5), onSuper("R")});
    ASSERT_EQ(states.size(), 3) << "every action answers at once";
    EXPECT_EQ(states.value("A").kind, Kind::Pending);

    ASSERT_TRUE(allAre(Kind::Live, {"A", "B", "R"}));
    EXPECT_EQ(states.value("A").assignedTrigger, "Mod4+Mod1+b");
    EXPECT_EQ(states.value("B").assignedTrigger, "Ctrl+F5");
    EXPECT_TRUE(pressRuns("logo+alt+b", activateA));
    EXPECT_TRUE(pressRuns("ctrl+F5", activateB));
    EXPECT_TRUE(pressRuns("logo+r", "--activate R")) << "a binding in another mode does not take the default mode's keys";
    EXPECT_EQ(service->backend(), HotkeyBackend::Sway);
    EXPECT_EQ(service->serviceProblem(), QString());
}

TEST_F(SwayShortcutServiceTest, AChordTheUsersConfigBindsIsTakenAndLeftToIt)
{
    LogCapture log;
    start();
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_Return).kind, Kind::Pending) << "before the config came";
    service->bind({request("T", Qt::MetaModifier | Qt::Key_Return),
                   request("I", Qt::MetaModifier | Qt::AltModifier | Qt::Key_T), onSuper("X")});
    ASSERT_TRUE(allAre(Kind::Live, {"X"})) << "a comment binds nothing";
    const ShortcutState taken = states.value("T");
    EXPECT_EQ(taken.kind, Kind::TakenElsewhere);
    EXPECT_EQ(taken.detail, QStringLiteral("Mod4+Return is bound in your sway config to: exec %1 config-return").arg(program()));
    EXPECT_EQ(states.value("I").detail,
              QStringLiteral("Mod4+Mod1+t is bound in your sway config to: exec %1 config-t").arg(program()))
        << "a file the config includes, found next to the file sway loaded";
    EXPECT_TRUE(pressRuns("logo+Return", "config-return"));

    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_Return), taken);
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_Return),
              (ShortcutState{Kind::Live, QStringLiteral("Mod4+Shift+Return"), {}}));
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_VolumeUp).kind, Kind::KeyUnavailable);
    EXPECT_FALSE(unbinds("Mod4+Shift+Return")) << "probing binds nothing";

    // Quitting releases only what the program holds.
    service.reset();
    EXPECT_TRUE(unbinds("Mod4+Return")) << "the user's binding stays";
    EXPECT_FALSE(unbinds("Mod4+x"));
    EXPECT_EQ(log.startingWith(QStringLiteral("sway: could not release")), QStringList());
}

TEST_F(SwayShortcutServiceTest, ReleasesWhatLeavesOrChangesAndKeepsWhatStays)
{
    LogCapture log;
    start();
    service->bind({onSuper("A"), onSuper("B"), onSuper("C")});
    ASSERT_TRUE(allAre(Kind::Live, {"A", "B", "C"}));

    // A stays as it is, B moves to other keys, C goes.
    service->bind({onSuper("A"), request("B", Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_B)});
    ASSERT_TRUE(runEventLoopUntil([&] { return states.value("B").assignedTrigger == "Mod4+Shift+b"; }));
    settle();
    EXPECT_FALSE(unbinds("Mod4+c"));
    EXPECT_FALSE(unbinds("Mod4+b"));
    EXPECT_TRUE(pressRuns("logo+shift+b", activateB));
    EXPECT_TRUE(pressRuns("logo+a", activateA));

    service->bind({});
    settle();
    EXPECT_FALSE(unbinds("Mod4+a"));
    EXPECT_FALSE(unbinds("Mod4+Shift+b"));
    EXPECT_EQ(log.startingWith(QStringLiteral("sway: could not release")), QStringList());
}

TEST_F(SwayShortcutServiceTest, AfterSwayReloadsEveryActionIsBoundAgainAgainstTheNewConfig)
{
    start();
    service->bind({onSuper("A"), onSuper("B")});
    ASSERT_TRUE(allAre(Kind::Live, {"A", "B"}));

    // The user's new config takes Mod4+b for itself.
    LogCapture log;
    ASSERT_NO_FATAL_FAILURE(reloadWith(QStringLiteral("bindsym $mod+b exec %1 config-b\n")));
    ASSERT_TRUE(allAre(Kind::TakenElsewhere, {"B"}));
    EXPECT_EQ(states.value("B").detail, QStringLiteral("Mod4+b is bound in your sway config to: exec %1 config-b").arg(program()));
    EXPECT_TRUE(log.contains(QStringLiteral("sway: the configuration was reloaded; binding Vantorel's shortcuts again")));
    EXPECT_TRUE(allAre(Kind::Live, {"A"}));
    EXPECT_TRUE(pressRuns("logo+a", activateA));
    EXPECT_TRUE(pressRuns("logo+b", "config-b"));

    // And again, with the keys free once more.
    ASSERT_NO_FATAL_FAILURE(reloadWith(QString()));
    ASSERT_TRUE(allAre(Kind::Live, {"A", "B"}));
    EXPECT_TRUE(pressRuns("logo+b", activateB));
    EXPECT_TRUE(pressRuns("logo+a", activateA));
}

TEST_F(SwayShortcutServiceTest, AReloadThatComesWhileTheProgramQuitsBindsNothingAgain)
{
    start();
    service->bind({onSuper("A")});
    ASSERT_TRUE(allAre(Kind::Live, {"A"}));
    ASSERT_NO_FATAL_FAILURE(reloadWith(QString())); // its event waits unread while the program quits
    service.reset();
    EXPECT_FALSE(unbinds("Mod4+a"));
}

// Without sway, or once it goes away, every action fails with the reason,
// which is the service's problem too.
TEST_F(SwayShortcutServiceTest, WithoutSwayOrOnceItGoesAwayEveryActionSaysSo)
{
    const auto failsWith = [&](const QString &reason) {
        const QString detail = states.value("A").detail;
        EXPECT_TRUE(detail.startsWith(reason)) << detail.toStdString();
        EXPECT_EQ(service->serviceProblem(), detail);
    };
    const QString nobody = dir.filePath(QStringLiteral("nobody-here.sock"));
    start(nobody);
    service->bind({onSuper("A")});
    ASSERT_TRUE(allAre(Kind::Failed, {"A"}));
    failsWith(QLatin1String("Cannot reach sway's IPC at ") + nobody);
    EXPECT_FALSE(SwayIpcClient::answers(nobody, 500));
    EXPECT_TRUE(SwayIpcClient::answers(sway->socketPath(), 500));

    start();
    service->bind({onSuper("A")});
    ASSERT_TRUE(allAre(Kind::Live, {"A"}));
    sway.reset();
    ASSERT_TRUE(allAre(Kind::Failed, {"A"}));
    failsWith(QStringLiteral("sway's IPC is gone"));
    service->bind({onSuper("A"), onSuper("N")});
    EXPECT_EQ(states.value("N"), (ShortcutState{Kind::Failed, {}, service->serviceProblem()}));
    QElapsedTimer quitting;
    quitting.start();
    service.reset();
    EXPECT_LT(quitting.elapsed(), 300) << "quitting waited for a sway that is gone";
}

// No chord Vantorel writes makes sway refuse a bindsym, but should one,
// that action fails with sway's reason: a socket that answers as sway does
// and refuses Mod4+b.
TEST(SwayRefusalTest, ARefusalFailsThatActionWithSwaysReason)
{
    QTemporaryDir dir;
    QLocalServer server;
    ASSERT_TRUE(server.listen(dir.filePath(QStringLiteral("refusing.sock"))));
    QByteArray received;
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        QLocalSocket *client = server.nextPendingConnection();
        QObject::connect(client, &QLocalSocket::readyRead, [&, client] {
            received += client->readAll();
            bool broken = false;
            while (const std::optional<SwayIpcFrame> frame = SwayIpcFrame::take(received, broken)) {
                QByteArray reply = R"({"success":true})";
                if (frame->type == SwayIpcFrame::getConfig)
                    reply = R"({"config":""})";
                else if (frame->type == SwayIpcFrame::runCommand)
                    reply = frame->payload.contains(" Mod4+b ") ? R"([{"success":false,"error":"Unknown key or button 'b'"}])"
                                                                : R"([{"success":true}])";
                client->write(SwayIpcFrame::encode(frame->type, reply));
            }
        });
    });
    QHash<QString, ShortcutState> states;
    SwayShortcutService service(server.fullServerName(), QStringLiteral("/usr/bin/vantorel"));
    QObject::connect(&service, &GlobalShortcutService::stateChanged,
                     [&](const QString &id, const ShortcutState &state) { states.insert(id, state); });
    service.bind({onSuper("A"), onSuper("B")});
    ASSERT_TRUE(runEventLoopUntil([&] { return states.value("B").kind == Kind::Failed; }));
    EXPECT_EQ(states.value("B").detail, "sway refused Mod4+b: Unknown key or button 'b'");
    EXPECT_TRUE(runEventLoopUntil([&] { return states.value("A").kind == Kind::Live; }));
    // Gone before the program quits, so that quitting does not wait for it.
    for (QLocalSocket *client : server.findChildren<QLocalSocket *>())
        client->abort();
}
} // namespace
