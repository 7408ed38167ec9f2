#include "platform/kde/KGlobalAccelShortcutService.h"

#include "model/Log.h"
#include "platform/ActionListChange.h"
#include "platform/kde/KGlobalAccelComponentProxy.h"
#include "platform/kde/KGlobalAccelKeys.h"
#include "platform/kde/KGlobalAccelProxy.h"
#include "platform/kde/KGlobalAccelShortcutInfo.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QKeySequence>
#include <QProcess>
#include <QStandardPaths>

namespace {
const QString service = QStringLiteral("org.kde.kglobalaccel");
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
      m_daemon(new KGlobalAccelProxy(service, QStringLiteral("/kglobalaccel"), m_bus, this)),
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
    m_daemon->setTimeout(quitTimeoutMs);
    QList<QDBusPendingCall> calls;
    for (const QString &id : std::as_const(m_order))
        calls.append(m_daemon->setInactive(actionIdOf(m_actions.value(id).request)));
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
    const ActionListChange change = ActionListChange::between(m_order, requests);
    for (const QString &id : change.released) {
        if (m_serviceUp) {
            auto *watcher = new QDBusPendingCallWatcher(m_daemon->unregister(componentName(), id), this);
            connect(watcher, &QDBusPendingCallWatcher::finished, this, [id](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (finished->isError())
                    Log::line(QStringLiteral("KDE: could not release shortcut %1: %2")
                                  .arg(id, finished->error().message().simplified()));
            });
        }
        m_actions.remove(id);
    }

    m_order = change.order;
    for (const ShortcutRequest &request : change.requests) {
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
    // Its reply carries nothing; a failure shows in the next call's answer,
    // which the daemon handles after it.
    m_daemon->doRegister(id);
    auto *watcher = new QDBusPendingCallWatcher(
        m_daemon->setShortcutKeys(id, {KGlobalAccelKeys::of(action.request.trigger)}, setPresent | noAutoloading),
        this);
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
    auto *watcher = new QDBusPendingCallWatcher(askHolders(action.request.trigger, -1), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, actionId = action.request.actionId, attempt = action.attempt](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const auto found = m_actions.find(actionId);
                if (found == m_actions.end() || found->attempt != attempt)
                    return;
                const QString keys = keyText(found->request.trigger);
                const QString holder = holderIn(*finished);
                setState(*found, {ShortcutState::Kind::TakenElsewhere, {},
                                  (holder.isEmpty()
                                       ? QStringLiteral("Another program holds %1 in KDE's shortcuts").arg(keys)
                                       : QStringLiteral("%1 is taken by %2 in KDE's shortcuts").arg(keys, holder))
                                      + QStringLiteral("; choose other keys here or in System Settings → Shortcuts")});
            });
}

QDBusPendingCall KGlobalAccelShortcutService::askHolders(QKeyCombination trigger, int timeoutMs)
{
    m_daemon->setTimeout(timeoutMs);
    QDBusPendingCall call = m_daemon->globalShortcutsByKey(KGlobalAccelKeys::of(trigger), KGlobalAccelKeys::Match{});
    m_daemon->setTimeout(-1);
    return call;
}

ShortcutState KGlobalAccelShortcutService::probe(QKeyCombination trigger)
{
    if (!m_serviceUp)
        return {ShortcutState::Kind::Pending, {}, m_waiting};
    QDBusPendingCall reply = askHolders(trigger, probeTimeoutMs);
    reply.waitForFinished();
    if (reply.isError())
        return {ShortcutState::Kind::Pending, {},
                QStringLiteral("KDE's shortcut service did not say who holds %1").arg(keyText(trigger))};
    const QString holder = firstHolder(reply).component;
    if (holder.isEmpty() || holder == componentName())
        return {ShortcutState::Kind::Live, keyText(trigger), {}};
    return {ShortcutState::Kind::TakenElsewhere, {},
            QStringLiteral("%1 is taken by %2 in KDE's shortcuts").arg(keyText(trigger), holderIn(reply))};
}

QString KGlobalAccelShortcutService::holderIn(const QDBusPendingCall &reply)
{
    const KGlobalAccelShortcutInfo holder = firstHolder(reply);
    if (holder.componentFriendly.isEmpty())
        return {};
    return holder.actionFriendly.isEmpty()
        ? holder.componentFriendly
        : QStringLiteral("\"%1\" of %2").arg(holder.actionFriendly, holder.componentFriendly);
}

KGlobalAccelShortcutInfo KGlobalAccelShortcutService::firstHolder(const QDBusPendingCall &call)
{
    const QDBusArgument infos = call.reply().arguments().value(0).value<QDBusArgument>();
    if (call.isError() || infos.currentType() != QDBusArgument::ArrayType)
        return {};
    return qdbus_cast<QList<KGlobalAccelShortcutInfo>>(infos).value(0);
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
    if (m_component || m_askingForComponent)
        return;
    m_askingForComponent = true;
    auto *watcher = new QDBusPendingCallWatcher(m_daemon->getComponent(componentName()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        m_askingForComponent = false;
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            Log::line(QStringLiteral("KDE: cannot listen for shortcut presses: %1")
                          .arg(reply.error().message().simplified()));
            return;
        }
        m_component = new KGlobalAccelComponentProxy(service, reply.value().path(), m_bus, this);
        connect(m_component, &KGlobalAccelComponentProxy::globalShortcutPressed, this,
                &KGlobalAccelShortcutService::onPressed);
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
    delete m_component;
    m_component = nullptr;
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
