#include "DesktopTestKit.h"
#include "EventLoopWait.h"
#include "KdeShortcutDaemon.h"
#include "LogCapture.h"
#include "PrivateSessionBus.h"
#include "QtPrinters.h"
#include "RequiredTool.h"
#include "platform/kde/KGlobalAccelKeys.h"
#include "platform/kde/KGlobalAccelShortcutService.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QList>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

namespace {
const QString daemonName = QStringLiteral("org.kde.kglobalaccel");
// The component's object: named like a desktop file, the component would be
// taken for a launcher and live elsewhere.
const QString componentPath = QStringLiteral("/component/org_vantorel_Vantorel");
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

// An action as KDE's shortcut settings list it.
struct DaemonAction {
    QString friendlyName;
    int keys = 0; // the first key, as QKeyCombination::toCombined()
};

// The first key of a keys field: KF5's daemon lists key codes, Plasma 6's
// key sequences as (ai) structures.
int firstKey(const QDBusArgument &keys)
{
    int key = 0;
    if (keys.currentType() == QDBusArgument::BasicType) {
        keys >> key;
        return key;
    }
    const bool array = keys.currentType() == QDBusArgument::ArrayType;
    array ? keys.beginArray() : keys.beginStructure();
    if (!keys.atEnd())
        key = firstKey(keys);
    array ? keys.endArray() : keys.endStructure();
    return key;
}

// KDE's real daemon, started for each test on a bus of its own.
class KGlobalAccelShortcutServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (KdeShortcutDaemon::program().isEmpty())
            VANTOREL_SKIP_OR_FAIL("KDE's shortcut daemon (kglobalaccel5 or kglobalacceld) is not installed");
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        ASSERT_TRUE(daemon.start(test)) << daemon.transcript();
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

    // Whether every one of the actions has its answer.
    bool settled(const QList<ShortcutRequest> &requests) const
    {
        return std::all_of(requests.cbegin(), requests.cend(), [this](const ShortcutRequest &request) {
            return stateOf(request.actionId).kind != ShortcutState::Kind::Pending;
        });
    }

    bool bindAndSettle(const QList<ShortcutRequest> &requests)
    {
        service->bind(requests);
        return runEventLoopUntil([&] { return settled(requests); });
    }

    QDBusMessage callDaemon(const QString &path, const QString &method, const QVariantList &arguments = {})
    {
        const QString interface = path == componentPath ? QStringLiteral("org.kde.kglobalaccel.Component")
                                                        : QStringLiteral("org.kde.KGlobalAccel");
        QDBusMessage call = QDBusMessage::createMethodCall(daemonName, path, interface, method);
        call.setArguments(arguments);
        return test.call(call);
    }

    // The program's actions as the daemon lists them, by id.
    QMap<QString, DaemonAction> daemonActions()
    {
        const QDBusMessage reply = callDaemon(componentPath, QStringLiteral("allShortcutInfos"));
        const QDBusArgument infos = reply.arguments().value(0).value<QDBusArgument>();
        QMap<QString, DaemonAction> actions;
        if (reply.type() != QDBusMessage::ReplyMessage)
            return actions;
        infos.beginArray();
        while (!infos.atEnd()) {
            QString id, friendlyName, component, componentName, context, contextName;
            infos.beginStructure();
            infos >> id >> friendlyName >> component >> componentName >> context >> contextName;
            actions.insert(id, {friendlyName, firstKey(infos)});
            infos.endStructure();
        }
        infos.endArray();
        return actions;
    }

    // Gives the keys to Spectacle's "Capture Entire Desktop", as Spectacle does.
    void holdElsewhere(QKeyCombination keys)
    {
        const QStringList action{QStringLiteral("org.kde.spectacle"), QStringLiteral("FullScreenScreenShot"),
                                 QStringLiteral("Spectacle"), QStringLiteral("Capture Entire Desktop")};
        callDaemon(QStringLiteral("/kglobalaccel"), QStringLiteral("doRegister"), {action});
        const QList<KGlobalAccelKeys> sequences{KGlobalAccelKeys{{keys.toCombined(), 0, 0, 0}}};
        const QDBusMessage set = callDaemon(QStringLiteral("/kglobalaccel"), QStringLiteral("setShortcutKeys"),
                                            {action, QVariant::fromValue(sequences), 6u});
        ASSERT_EQ(set.type(), QDBusMessage::ReplyMessage) << set.errorMessage().toStdString();
    }

    // Presses until the service reports one: it listens once the daemon
    // has answered its first registration.
    bool pressUntilActivated(const QString &id)
    {
        return runEventLoopUntil([&] {
            if (presses.isEmpty())
                callDaemon(componentPath, QStringLiteral("invokeShortcut"), {id});
            return !presses.isEmpty();
        });
    }

    PrivateSessionBus bus;
    QDBusConnection test{bus.connect(connectionName("test"))};
    KdeShortcutDaemon daemon;
    std::unique_ptr<KGlobalAccelShortcutService> service;
    QList<std::pair<QString, ShortcutState>> states;
    QList<std::pair<QString, quint64>> presses;
};

// Each action answers Pending at once, then Live on the keys the daemon
// gave, or taken with who holds it; asked while the user edits, the same.
TEST_F(KGlobalAccelShortcutServiceTest, BindAnswersPendingAtOnceThenLiveOrTakenElsewhere)
{
    holdElsewhere(ctrlShiftK);
    service->bind({browser, notes, terminal});
    EXPECT_EQ(stateOf(QStringLiteral("A")).kind, ShortcutState::Kind::Pending);

    ASSERT_TRUE(runEventLoopUntil([this] { return settled({browser, notes, terminal}); }));
    EXPECT_EQ(stateOf(QStringLiteral("A")), (ShortcutState{ShortcutState::Kind::Live, QStringLiteral("Meta+Alt+F"), {}}));
    EXPECT_EQ(stateOf(QStringLiteral("C")).assignedTrigger, QStringLiteral("Alt+F2"));
    EXPECT_TRUE(callDaemon(componentPath, QStringLiteral("isActive")).arguments().value(0).toBool()) << "not present";
    const ShortcutState taken = stateOf(QStringLiteral("B"));
    EXPECT_EQ(taken.kind, ShortcutState::Kind::TakenElsewhere);
    EXPECT_EQ(taken.detail, QStringLiteral("Ctrl+Shift+K is taken by \"Capture Entire Desktop\" of Spectacle in KDE's "
                                           "shortcuts; choose other keys here or in System Settings → Shortcuts"));
    const ShortcutState probed = service->probe(ctrlShiftK);
    EXPECT_EQ(probed.kind, ShortcutState::Kind::TakenElsewhere);
    EXPECT_TRUE(probed.detail.contains(QStringLiteral("\"Capture Entire Desktop\" of Spectacle"))) << probed.detail.toStdString();
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_F3).kind, ShortcutState::Kind::Live);
    EXPECT_EQ(service->probe(metaAltF).kind, ShortcutState::Kind::Live) << "its own keys are not taken";
}

// KDE names Shift with a digit or punctuation key by the symbol it types (US
// layout) and drops Shift, as its daemons match a press; letters, F-keys and
// named keys keep Shift.
TEST_F(KGlobalAccelShortcutServiceTest, ShiftWithADigitOrPunctuationIsSentAsTheSymbolItTypes)
{
    struct Case {
        QKeyCombination trigger;
        QKeyCombination sent;
        const char *shown;
    };
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const QList<Case> cases{
        {ctrlShift | Qt::Key_7, Qt::ControlModifier | Qt::Key_Ampersand, "Ctrl+&"},
        {Qt::AltModifier | Qt::ShiftModifier | Qt::Key_Ampersand, Qt::AltModifier | Qt::Key_Ampersand, "Alt+&"},
        {Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_Equal, Qt::MetaModifier | Qt::Key_Plus, "Meta++"},
        {ctrlShift | Qt::AltModifier | Qt::Key_Slash, Qt::ControlModifier | Qt::AltModifier | Qt::Key_Question, "Ctrl+Alt+?"},
        {Qt::ControlModifier | Qt::Key_7, Qt::ControlModifier | Qt::Key_7, "Ctrl+7"},
        {ctrlShift | Qt::Key_F2, ctrlShift | Qt::Key_F2, "Ctrl+Shift+F2"},
        {ctrlShift | Qt::Key_Space, ctrlShift | Qt::Key_Space, "Ctrl+Shift+Space"},
    };
    QList<ShortcutRequest> requests;
    for (qsizetype i = 0; i < cases.size(); ++i)
        requests.append({QString::number(i), QStringLiteral("Button %1").arg(i), cases[i].trigger});
    ASSERT_TRUE(bindAndSettle(requests));
    const QMap<QString, DaemonAction> actions = daemonActions();
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const QString &id = requests[i].actionId;
        EXPECT_EQ(actions.value(id).keys, cases[i].sent.toCombined()) << cases[i].shown;
        EXPECT_EQ(stateOf(id), (ShortcutState{ShortcutState::Kind::Live, QString::fromUtf8(cases[i].shown), {}}));
    }
    // Who holds it is asked by the same name.
    holdElsewhere(Qt::MetaModifier | Qt::Key_Exclam);
    const ShortcutState probed = service->probe(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_1);
    EXPECT_EQ(probed.kind, ShortcutState::Kind::TakenElsewhere);
    EXPECT_TRUE(probed.detail.startsWith(QStringLiteral("Meta+! is taken by"))) << probed.detail.toStdString();
}

// "Change in desktop settings…" opens the shortcuts page of whatever KDE has:
// System Settings, else Plasma 6's single-page shell, else Plasma 5's.
TEST(KGlobalAccelDesktopSettingsTest, OpenTheShortcutsPageOfTheInstalledPlasma)
{
    const PrivateSessionBus bus;
    KGlobalAccelShortcutService service(QDBusConnection(bus.connect(connectionName("program"))));
    const QByteArray path = qgetenv("PATH");
    const QList<std::pair<QStringList, QString>> cases{
        {{QStringLiteral("kcmshell5")}, QStringLiteral("kcmshell5")},
        {{QStringLiteral("kcmshell5"), QStringLiteral("kcmshell6")}, QStringLiteral("kcmshell6")},
        {{QStringLiteral("kcmshell6"), QStringLiteral("systemsettings")}, QStringLiteral("systemsettings")},
    };
    for (const auto &[installed, expected] : cases) {
        QTemporaryDir bin;
        ASSERT_TRUE(bin.isValid());
        // Shell built-ins only: PATH holds nothing else.
        for (const QString &program : installed)
            ASSERT_TRUE(writeFile(bin.filePath(program), "#!/bin/sh\necho \"${0##*/} $*\" > \"${0%/*}/started\"\n", true));
        qputenv("PATH", QFile::encodeName(bin.path()));
        service.openDesktopSettings();
        qputenv("PATH", path);
        const auto started = [&bin] { return readFile(bin.filePath(QStringLiteral("started"))); };
        runEventLoopUntil([&] { return started().endsWith('\n'); });
        EXPECT_EQ(started(), (expected + QStringLiteral(" kcm_keys\n")).toUtf8());
    }

    const LogCapture log;
    QTemporaryDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    service.openDesktopSettings();
    qputenv("PATH", path);
    EXPECT_EQ(log.startingWith(QStringLiteral("KDE: none of systemsettings, kcmshell6 and kcmshell5")).size(), 1);
}

TEST_F(KGlobalAccelShortcutServiceTest, ARestartedDaemonGetsEverythingRegisteredAgain)
{
    ASSERT_TRUE(bindAndSettle({browser, notes}));
    ASSERT_TRUE(pressUntilActivated(QStringLiteral("A")));

    states.clear();
    presses.clear();
    ASSERT_TRUE(daemon.kill(test));
    ASSERT_TRUE(daemon.start(test)) << daemon.transcript();
    // It comes back knowing nothing: what it lists, the program registered again.
    ASSERT_TRUE(runEventLoopUntil([this] { return daemonActions().size() == 2; })) << daemon.transcript();
    ASSERT_TRUE(runEventLoopUntil([this] { return settled({browser, notes}); }));
    EXPECT_EQ(stateOf(QStringLiteral("A")).kind, ShortcutState::Kind::Live);
    EXPECT_EQ(stateOf(QStringLiteral("B")).kind, ShortcutState::Kind::Live);
    EXPECT_TRUE(std::any_of(states.cbegin(), states.cend(), [](const auto &answer) {
        return answer.second.kind == ShortcutState::Kind::Pending && answer.second.detail.contains(QStringLiteral("stopped"));
    })) << "the rows never said the service had gone";
    ASSERT_TRUE(pressUntilActivated(QStringLiteral("B")));
    EXPECT_EQ(presses.first().first, QStringLiteral("B"));
}

// What the user changes in the editor shows in KDE's shortcut settings: a new
// name as the action's friendly name, new keys as its keys; an action left
// out is released, one kept unchanged says Live again at once.
TEST_F(KGlobalAccelShortcutServiceTest, ARenameAndNewKeysReachKdesShortcutSettingsAndLeftOutActionsGo)
{
    const QKeyCombination metaF3(Qt::MetaModifier, Qt::Key_F3);
    const std::tuple<const char *, QString, QKeyCombination, QString> changes[] = {
        {"renamed", QStringLiteral("Web"), metaAltF, QStringLiteral("Meta+Alt+F")},
        {"new keys", QStringLiteral("Browser"), metaF3, QStringLiteral("Meta+F3")},
        {"both", QStringLiteral("Web & Mail"), metaF3, QStringLiteral("Meta+F3")},
    };
    for (const auto &[what, name, keys, keysShown] : changes) {
        // Registered, and the daemon's answers arrived: an action still
        // pending would say Pending again at the rebind.
        ASSERT_TRUE(bindAndSettle({browser, notes, terminal}));
        ASSERT_TRUE(runEventLoopUntil([this] { return daemonActions().size() == 3; }));
        ASSERT_EQ(daemonActions().value(QStringLiteral("A")).friendlyName, QStringLiteral("Browser")) << what;
        ASSERT_EQ(daemonActions().value(QStringLiteral("A")).keys, metaAltF.toCombined()) << what;

        states.clear();
        ASSERT_TRUE(bindAndSettle({{browser.actionId, name, keys}, terminal}));
        EXPECT_TRUE(runEventLoopUntil([this] { return daemonActions().size() == 2; })) << what;
        const QMap<QString, DaemonAction> actions = daemonActions();
        EXPECT_EQ(actions.keys(), (QStringList{QStringLiteral("A"), QStringLiteral("C")})) << what;
        EXPECT_EQ(actions.value(QStringLiteral("A")).friendlyName, name) << what;
        EXPECT_EQ(actions.value(QStringLiteral("A")).keys, keys.toCombined()) << what;
        EXPECT_EQ(stateOf(QStringLiteral("A")), (ShortcutState{ShortcutState::Kind::Live, keysShown, {}})) << what;
        EXPECT_EQ(stateOf(QStringLiteral("C")).kind, ShortcutState::Kind::Live) << what;
        EXPECT_EQ(stateOf(QStringLiteral("B")).detail, QStringLiteral("none")) << what;
    }
}
} // namespace
