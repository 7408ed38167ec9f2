#include "KGlobalAccelShortcutService.h"

#include "KGlobalAccelKeys.h"
#include "Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QKeySequence>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

namespace {
const QString service = QStringLiteral("org.kde.kglobalaccel");
const QString daemonPath = QStringLiteral("/kglobalaccel");
const QString daemonInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString componentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
const QString pressedSignal = QStringLiteral("globalShortcutPressed");
const QString friendlyName = QStringLiteral("Vantorel");

// setShortcutKeys flags: the action is present (active), and the daemon
// takes the keys given instead of what it stored from an earlier run.
constexpr uint setPresent = 2;
constexpr uint noAutoloading = 4;
// A bound reply wait when the program quits; the daemon answers in
// milliseconds when it is alive at all.
constexpr int quitTimeoutMs = 1000;
// For questions someone waits for (the start, the edit form): long enough
// for a busy daemon, short enough not to freeze anything.
constexpr int probeTimeoutMs = 500;

QDBusMessage daemonCall(const QString &method)
{
    return QDBusMessage::createMethodCall(service, daemonPath, daemonInterface, method);
}


QString keyText(int combined)
{
    return QKeySequence(combined).toString(QKeySequence::NativeText);
}

// A trigger as KDE's settings show it ("Ctrl+&" for Ctrl+Shift+7).
QString keyText(QKeyCombination trigger)
{
    return keyText(KGlobalAccelKeys::of(trigger).first());
}
} // namespace

KGlobalAccelShortcutService::KGlobalAccelShortcutService(const QDBusConnection &bus, QObject *parent)
    : GlobalShortcutService(parent), m_bus(bus),
      m_watcher(new QDBusServiceWatcher(service, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration
                                            | QDBusServiceWatcher::WatchForUnregistration,
                                        this))
{
    KGlobalAccelKeys::registerDBusTypes();
    // Qt 6.4 needs it before an object path arrives in a reply or signal.
    qRegisterMetaType<QDBusObjectPath>();
    m_serviceUp = isOffered(m_bus);
    if (!m_serviceUp) {
        m_waiting = QStringLiteral("KDE's shortcut service is not running; waiting for it to start");
        Log::line(QStringLiteral("KDE: the shortcut service (org.kde.kglobalaccel) is not on the session bus; "
                                 "global shortcuts wait for it"));
    }
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &KGlobalAccelShortcutService::serviceGone);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &KGlobalAccelShortcutService::serviceBack);
}

KGlobalAccelShortcutService::~KGlobalAccelShortcutService()
{
    if (!m_serviceUp)
        return;
    QList<QDBusPendingCall> calls;
    for (const QString &id : std::as_const(m_order)) {
        QDBusMessage call = daemonCall(QStringLiteral("setInactive"));
        call << actionIdOf(m_actions.value(id).request);
        calls.append(m_bus.asyncCall(call, quitTimeoutMs));
    }
    // Sent together, so the wait is one round trip, not one per action.
    for (QDBusPendingCall &call : calls)
        call.waitForFinished();
}

bool KGlobalAccelShortcutService::isOffered(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return false;
    // Asked at start, on the main thread: a bus that does not answer soon
    // counts as offering nothing.
    const auto busCall = [](const QString &method) {
        return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                              QStringLiteral("org.freedesktop.DBus"), method);
    };
    const QDBusMessage owned = bus.call(busCall(QStringLiteral("NameHasOwner")) << service, QDBus::Block, probeTimeoutMs);
    if (owned.type() == QDBusMessage::ReplyMessage && owned.arguments().value(0).toBool())
        return true;
    const QDBusMessage activatable = bus.call(busCall(QStringLiteral("ListActivatableNames")), QDBus::Block, probeTimeoutMs);
    return activatable.type() == QDBusMessage::ReplyMessage
        && activatable.arguments().value(0).toStringList().contains(service);
}

QString KGlobalAccelShortcutService::componentName()
{
    // A component named like a desktop file is taken for a launcher of it,
    // whose presses arrive elsewhere.
    QString name = QStringLiteral(VANTOREL_APP_ID);
    if (name.endsWith(QLatin1String(".desktop")))
        name.chop(8);
    return name;
}

QString KGlobalAccelShortcutService::backendName() const
{
    return QStringLiteral("KDE");
}

void KGlobalAccelShortcutService::openDesktopSettings()
{
    // The full System Settings (Plasma 5 and 6), else the single-page shell
    // of Plasma 6, then of Plasma 5.
    for (const QString &program :
         {QStringLiteral("systemsettings"), QStringLiteral("kcmshell6"), QStringLiteral("kcmshell5")}) {
        const QString path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            continue;
        if (!QProcess::startDetached(path, {QStringLiteral("kcm_keys")}))
            Log::line(QStringLiteral("KDE: could not start %1 kcm_keys").arg(path));
        return;
    }
    Log::line(QStringLiteral("KDE: none of systemsettings, kcmshell6 and kcmshell5 is installed; "
                             "open System Settings → Shortcuts to change Vantorel's shortcuts"));
}

void KGlobalAccelShortcutService::bind(const QList<ShortcutRequest> &requests)
{
    QSet<QString> wanted;
    for (const ShortcutRequest &request : requests)
        wanted.insert(request.actionId);
    for (const QString &id : std::as_const(m_order)) {
        if (wanted.contains(id))
            continue;
        if (m_serviceUp) {
            QDBusMessage call = daemonCall(QStringLiteral("unregister"));
            call << componentName() << id;
            auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
            connect(watcher, &QDBusPendingCallWatcher::finished, this, [id](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (finished->isError())
                    Log::line(QStringLiteral("KDE: could not release shortcut %1: %2")
                                  .arg(id, finished->error().message().simplified()));
            });
        }
        m_actions.remove(id);
    }

    m_order.clear();
    for (const ShortcutRequest &request : requests) {
        if (m_order.contains(request.actionId))
            continue;
        m_order.append(request.actionId);
        Action &action = m_actions[request.actionId];
        const bool unchanged = action.request.trigger == request.trigger
            && action.request.description == request.description
            && (action.state.kind == ShortcutState::Kind::Live || action.state.kind == ShortcutState::Kind::Pending)
            && action.attempt != 0;
        if (unchanged) {
            Q_EMIT stateChanged(request.actionId, action.state);
            continue;
        }
        action.request = request;
        registerAction(action);
    }
}

QStringList KGlobalAccelShortcutService::actionIdOf(const ShortcutRequest &request) const
{
    return {componentName(), request.actionId, friendlyName, request.description};
}

void KGlobalAccelShortcutService::registerAction(Action &action)
{
    action.attempt = ++m_attempts;
    if (!m_serviceUp) {
        setState(action, {ShortcutState::Kind::Pending, {}, m_waiting});
        return;
    }
    setState(action, {ShortcutState::Kind::Pending, {}, {}});

    const QStringList id = actionIdOf(action.request);
    QDBusMessage announce = daemonCall(QStringLiteral("doRegister"));
    announce << id;
    // Its reply carries nothing; a failure shows in the next call's answer,
    // which the daemon handles after it.
    m_bus.asyncCall(announce);

    QDBusMessage set = daemonCall(QStringLiteral("setShortcutKeys"));
    set << id << QVariant::fromValue(QList<KGlobalAccelKeys>{KGlobalAccelKeys::of(action.request.trigger)})
        << uint(setPresent | noAutoloading);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(set), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, actionId = action.request.actionId, attempt = action.attempt](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                answerRegistration(actionId, attempt, *finished);
            });
}

void KGlobalAccelShortcutService::answerRegistration(const QString &actionId, quint64 attempt,
                                                     const QDBusPendingCall &call)
{
    const auto found = m_actions.find(actionId);
    if (found == m_actions.end() || found->attempt != attempt)
        return;
    Action &action = *found;
    const QDBusPendingReply<QList<KGlobalAccelKeys>> reply = call;
    if (reply.isError()) {
        setState(action, {ShortcutState::Kind::Failed, {}, reply.error().message().simplified()});
        return;
    }
    listenForPresses();
    const QList<KGlobalAccelKeys> assigned = reply.value();
    const int wanted = KGlobalAccelKeys::of(action.request.trigger).first();
    const int got = assigned.isEmpty() ? 0 : assigned.first().first();
    if (got == wanted) {
        setState(action, {ShortcutState::Kind::Live, keyText(got), {}});
        return;
    }
    reportTaken(action);
}

void KGlobalAccelShortcutService::reportTaken(const Action &action)
{
    // Who holds the keys is one more call away; until it answers the row
    // stays pending, so the log gets one line, with the holder in it.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(shortcutsByKeyCall(action.request.trigger)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, actionId = action.request.actionId, attempt = action.attempt](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const auto found = m_actions.find(actionId);
                if (found == m_actions.end() || found->attempt != attempt)
                    return;
                const QString keys = keyText(found->request.trigger);
                const QString holder = holderIn(finished->reply());
                setState(*found, {ShortcutState::Kind::TakenElsewhere, {},
                                  (holder.isEmpty()
                                       ? QStringLiteral("Another program holds %1 in KDE's shortcuts").arg(keys)
                                       : QStringLiteral("%1 is taken by %2 in KDE's shortcuts").arg(keys, holder))
                                      + QStringLiteral("; choose other keys here or in System Settings → Shortcuts")});
            });
}

QDBusMessage KGlobalAccelShortcutService::shortcutsByKeyCall(QKeyCombination trigger)
{
    QDBusMessage call = daemonCall(QStringLiteral("globalShortcutsByKey"));
    QDBusArgument exactMatch;
    exactMatch.beginStructure();
    exactMatch << 0;
    exactMatch.endStructure();
    call << QVariant::fromValue(KGlobalAccelKeys::of(trigger)) << QVariant::fromValue(exactMatch);
    return call;
}

ShortcutState KGlobalAccelShortcutService::probe(QKeyCombination trigger)
{
    if (!m_serviceUp)
        return {ShortcutState::Kind::Pending, {}, m_waiting};
    const QDBusMessage reply = m_bus.call(shortcutsByKeyCall(trigger), QDBus::Block, probeTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {ShortcutState::Kind::Pending, {},
                QStringLiteral("KDE's shortcut service did not say who holds %1").arg(keyText(trigger))};
    const std::array<QString, 6> names = firstHolderNames(reply);
    if (names[2].isEmpty() || names[2] == componentName())
        return {ShortcutState::Kind::Live, keyText(trigger), {}};
    return {ShortcutState::Kind::TakenElsewhere, {},
            QStringLiteral("%1 is taken by %2 in KDE's shortcuts").arg(keyText(trigger), holderIn(reply))};
}

QString KGlobalAccelShortcutService::holderIn(const QDBusMessage &reply)
{
    const std::array<QString, 6> names = firstHolderNames(reply);
    const QString &action = names[1], &component = names[3];
    if (component.isEmpty())
        return {};
    return action.isEmpty() ? component : QStringLiteral("\"%1\" of %2").arg(action, component);
}

std::array<QString, 6> KGlobalAccelShortcutService::firstHolderNames(const QDBusMessage &reply)
{
    // A list of shortcut infos, each starting with six strings. The key
    // lists after them differ between versions of the daemon and are not
    // needed.
    std::array<QString, 6> names;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()
        || !reply.arguments().constFirst().canConvert<QDBusArgument>())
        return names;
    const QDBusArgument infos = reply.arguments().constFirst().value<QDBusArgument>();
    if (infos.currentType() != QDBusArgument::ArrayType)
        return names;
    infos.beginArray();
    if (!infos.atEnd() && infos.currentType() == QDBusArgument::StructureType) {
        infos.beginStructure();
        for (QString &name : names) {
            if (infos.currentType() != QDBusArgument::BasicType)
                break;
            infos >> name;
        }
        infos.endStructure();
    }
    infos.endArray();
    return names;
}

void KGlobalAccelShortcutService::setState(Action &action, const ShortcutState &state)
{
    action.state = state;
    Q_EMIT stateChanged(action.request.actionId, state);
}

void KGlobalAccelShortcutService::listenForPresses()
{
    // The component exists only once an action is registered, so it is
    // looked up after the first answer.
    if (m_listening || m_askingForComponent)
        return;
    m_askingForComponent = true;
    QDBusMessage call = daemonCall(QStringLiteral("getComponent"));
    call << componentName();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        m_askingForComponent = false;
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            Log::line(QStringLiteral("KDE: cannot listen for shortcut presses: %1")
                          .arg(reply.error().message().simplified()));
            return;
        }
        m_componentPath = reply.value().path();
        m_listening = m_bus.connect(service, m_componentPath, componentInterface, pressedSignal, this,
                                    SLOT(onPressed(QString, QString, qlonglong)));
        if (!m_listening)
            Log::line(QStringLiteral("KDE: cannot listen for shortcut presses on %1").arg(m_componentPath));
    });
}

void KGlobalAccelShortcutService::onPressed(const QString &component, const QString &action, qlonglong timestamp)
{
    if (component != componentName())
        return;
    const auto found = m_actions.constFind(action);
    if (found != m_actions.constEnd() && found->state.kind == ShortcutState::Kind::Live)
        Q_EMIT activated(action, quint64(timestamp));
}

void KGlobalAccelShortcutService::serviceGone()
{
    if (!m_serviceUp)
        return;
    m_serviceUp = false;
    if (m_listening) {
        m_bus.disconnect(service, m_componentPath, componentInterface, pressedSignal, this,
                         SLOT(onPressed(QString, QString, qlonglong)));
        m_listening = false;
    }
    m_waiting = QStringLiteral("KDE's shortcut service stopped; waiting for it to return");
    Log::line(QStringLiteral("KDE: the shortcut service stopped; global shortcuts wait for it to return"));
    for (const QString &id : std::as_const(m_order)) {
        Action &action = m_actions[id];
        action.attempt = ++m_attempts; // whatever it was waiting for will not come
        setState(action, {ShortcutState::Kind::Pending, {}, m_waiting});
    }
}

void KGlobalAccelShortcutService::serviceBack()
{
    if (m_serviceUp)
        return;
    m_serviceUp = true;
    Log::line(QStringLiteral("KDE: the shortcut service is back; registering the shortcuts again"));
    for (const QString &id : std::as_const(m_order))
        registerAction(m_actions[id]);
}
