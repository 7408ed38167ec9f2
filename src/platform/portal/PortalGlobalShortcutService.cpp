#include "platform/portal/PortalGlobalShortcutService.h"

#include "model/Log.h"
#include "platform/portal/PortalGlobalShortcutsProxy.h"
#include "platform/portal/PortalRegistryProxy.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/PortalSessionProxy.h"
#include "platform/portal/PortalShortcut.h"
#include "platform/portal/PortalTrigger.h"
#include "platform/posix/RunningExecutable.h"
#include "platform/xdg/XdgApplicationEntry.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QHash>
#include <QTimer>

#include <chrono>

namespace {
constexpr int probeTimeoutMs = 1500;
} // namespace

PortalGlobalShortcutService::PortalGlobalShortcutService(const QDBusConnection &bus, uint version, QObject *parent)
    : GlobalShortcutService(parent), m_bus(bus), m_version(version),
      m_portal(new PortalGlobalShortcutsProxy(portal::service, portal::path, m_bus, this)), m_clock([] {
          return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count());
      })
{
    portal::registerTypes();
    connect(m_portal, &PortalGlobalShortcutsProxy::Activated, this, &PortalGlobalShortcutService::onActivated);
}

PortalGlobalShortcutService::~PortalGlobalShortcutService()
{
    closeSession();
}

uint PortalGlobalShortcutService::offeredVersion(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return 0;
    PortalGlobalShortcutsProxy portal(portal::service, portal::path, bus);
    portal.setTimeout(probeTimeoutMs);
    return portal.version(); // 0 when the property cannot be read
}

QString PortalGlobalShortcutService::serviceProblem() const
{
    // Chosen by VANTOREL_HOTKEYS where the desktop has no such portal.
    if (m_version == 0)
        return QStringLiteral("The desktop offers no GlobalShortcuts portal.");
    return m_registrationProblem;
}

bool PortalGlobalShortcutService::hasDesktopSettings() const
{
    return m_version >= 2;
}

void PortalGlobalShortcutService::openDesktopSettings()
{
    if (!hasDesktopSettings() || !m_session)
        return;
    auto *watcher = new QDBusPendingCallWatcher(
        m_portal->ConfigureShortcuts(QDBusObjectPath(m_session->path()), QString(), QVariantMap()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        if (call->isError())
            Log::line(QStringLiteral("Portal: cannot open the desktop's shortcut settings: %1").arg(call->error().message()));
    });
}

void PortalGlobalShortcutService::bind(const QList<ShortcutRequest> &requests)
{
    m_requests = requests;
    m_reboundAutomatically = false;
    m_declined = false;
    for (const ShortcutRequest &request : requests)
        Q_EMIT stateChanged(request.actionId, {ShortcutState::Kind::Pending, {}, {}});
    // Several binds in one turn of the event loop make one session.
    if (m_bindQueued)
        return;
    m_bindQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_bindQueued = false;
        startSession();
    });
}

// The portal's registry knows an app id only from an installed desktop
// entry: a Vantorel started from a build folder installs its own first.
// Returns whether it wrote one.
bool PortalGlobalShortcutService::installDesktopEntry()
{
    const QString program = RunningExecutable::path();
    const XdgApplicationEntry::Result result = XdgApplicationEntry::ensureFor(program);
    const QString path = XdgApplicationEntry::userEntryPath();
    if (result.error)
        Log::line(QStringLiteral("Portal: cannot install the desktop entry the portal needs: %1").arg(*result.error));
    else if (result.outcome == XdgApplicationEntry::Outcome::installed)
        Log::line(QStringLiteral("Portal: installed %1 for this program (%2)").arg(path, program));
    else if (result.outcome == XdgApplicationEntry::Outcome::updated)
        Log::line(QStringLiteral("Portal: %1 now starts this program (%2)").arg(path, program));
    return !result.error
        && (result.outcome == XdgApplicationEntry::Outcome::installed
            || result.outcome == XdgApplicationEntry::Outcome::updated);
}

void PortalGlobalShortcutService::startSession()
{
    closeSession();
    const quint64 attempt = ++m_attempt;
    m_rebindOnClose = false;
    if (m_requests.isEmpty())
        return;
    // The app id goes to the portal once per connection, before any other
    // portal call of it: the portal keeps what it learnt first (a second
    // Register fails), and portals without the registry take it from the
    // systemd scope.
    switch (m_registration) {
    case Registration::done:
        createSession(attempt);
        return;
    case Registration::asking:
        return; // its answer goes on with the latest list
    case Registration::notAsked:
        m_registration = Registration::asking;
        registerAppId(installDesktopEntry());
        return;
    }
}

void PortalGlobalShortcutService::registerAppId(bool entryJustWritten)
{
    PortalRegistryProxy registry(portal::service, portal::path, m_bus);
    auto *watcher = new QDBusPendingCallWatcher(registry.Register(QStringLiteral(VANTOREL_APP_ID), QVariantMap()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, entryJustWritten](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        // The portal may not have noticed an entry written a moment ago: it
        // is asked once more, a little later.
        if (entryJustWritten && refusedRegistration(call->error())) {
            QTimer::singleShot(registrationRetryMs, this, [this] { registerAppId(false); });
            return;
        }
        takeRegistration(call->error());
        m_registration = Registration::done;
        if (!m_requests.isEmpty())
            createSession(m_attempt);
    });
}

bool PortalGlobalShortcutService::refusedRegistration(const QDBusError &error)
{
    if (!error.isValid())
        return false;
    // A portal without the registry (before 1.19) takes the app id from the
    // systemd scope instead, and one that has it already for this connection
    // (newer Qt versions register the desktop file name themselves) keeps
    // it: nothing is wrong then.
    static const QStringList noRegistry{QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                                        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject")};
    return !noRegistry.contains(error.name())
        && !error.message().contains(QLatin1String("already associated"), Qt::CaseInsensitive);
}

void PortalGlobalShortcutService::takeRegistration(const QDBusError &error)
{
    if (!refusedRegistration(error)) {
        m_registrationProblem.clear();
        return;
    }
    const QString why = error.message().simplified();
    const QString problem = QStringLiteral("The desktop's portal does not accept the app id %1: %2")
                                .arg(QStringLiteral(VANTOREL_APP_ID), why);
    if (problem != m_registrationProblem)
        Log::line(QStringLiteral("Portal: cannot register the app id %1: %2").arg(QStringLiteral(VANTOREL_APP_ID), why));
    m_registrationProblem = problem;
}

void PortalGlobalShortcutService::createSession(quint64 attempt)
{
    auto *request = new PortalRequest(m_bus, this);
    connect(request, &PortalRequest::finished, this, [this, attempt, request](uint response, const QVariantMap &results) {
        const QString session = portal::pathOf(results.value(QStringLiteral("session_handle")));
        if (attempt != m_attempt) {
            // Made for a list that has changed since.
            if (response == 0 && !session.isEmpty())
                PortalSessionProxy(portal::service, session, m_bus).Close();
            return;
        }
        if (response != 0 || session.isEmpty()) {
            takeBindAnswer(response == 0 ? 2 : response, {}, request->error());
            return;
        }
        m_session = new PortalSessionProxy(portal::service, session, m_bus, this);
        connect(m_session, &PortalSessionProxy::Closed, this, &PortalGlobalShortcutService::onSessionClosed);
        listShortcuts(attempt);
    });
    request->watch(
        m_portal->CreateSession(request->expect({{QStringLiteral("session_handle_token"), PortalRequest::newToken()}})));
}

// What the desktop already knows for this app: a desktop that has the
// shortcuts may then bind them without asking again. The bind's answer is
// what counts; a trigger listed here only stands in for one the bind's
// answer leaves out.
void PortalGlobalShortcutService::listShortcuts(quint64 attempt)
{
    auto *request = new PortalRequest(m_bus, this);
    connect(request, &PortalRequest::finished, this, [this, attempt](uint, const QVariantMap &results) {
        if (attempt != m_attempt)
            return;
        m_listed = triggersIn(results);
        bindShortcuts(attempt);
    });
    request->watch(m_portal->ListShortcuts(QDBusObjectPath(m_session->path()), request->expect({})));
}

void PortalGlobalShortcutService::bindShortcuts(quint64 attempt)
{
    PortalShortcutList shortcuts;
    for (const ShortcutRequest &request : std::as_const(m_requests)) {
        QVariantMap properties{{QStringLiteral("description"), request.description}};
        const QString trigger = PortalTrigger::fromCombination(request.trigger);
        if (!trigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), trigger);
        shortcuts.append({request.actionId, properties});
    }
    auto *request = new PortalRequest(m_bus, this);
    connect(request, &PortalRequest::finished, this, [this, attempt, request](uint response, const QVariantMap &results) {
        if (attempt != m_attempt)
            return;
        takeBindAnswer(response, results, request->error());
    });
    request->watch(
        m_portal->BindShortcuts(QDBusObjectPath(m_session->path()), shortcuts, QString(), request->expect({})));
}

void PortalGlobalShortcutService::takeBindAnswer(uint response, const QVariantMap &results, const QString &error)
{
    // An answer with the bound shortcuts is a success whatever its code:
    // GNOME 48 answers 2 with them after its dialog's Add.
    if (!results.contains(QStringLiteral("shortcuts"))) {
        if (response == 1) {
            m_declined = true;
            answerAll({ShortcutState::Kind::Declined, {},
                       QStringLiteral("Portal: the global shortcuts were declined in the desktop's dialog")});
            return;
        }
        if (response != 0) {
            const QString why = !error.isEmpty() ? error : m_registrationProblem;
            answerAll({ShortcutState::Kind::Failed, {},
                       why.isEmpty() ? QStringLiteral("Portal: the desktop refused the global shortcuts")
                                     : QStringLiteral("Portal: the desktop refused the global shortcuts: %1").arg(why)});
            return;
        }
    }
    m_rebindOnClose = true;
    m_boundAtMs = m_clock();
    const QHash<QString, QString> assigned = triggersIn(results);
    const QList<ShortcutRequest> requests = m_requests; // a listener may bind again
    for (const ShortcutRequest &request : requests) {
        const auto found = assigned.constFind(request.actionId);
        if (found == assigned.constEnd()) {
            Q_EMIT stateChanged(request.actionId, {ShortcutState::Kind::Failed, {},
                                                   QStringLiteral("Portal: the desktop left this shortcut unbound")});
            continue;
        }
        const QString trigger = found->isEmpty() ? m_listed.value(request.actionId) : *found;
        Q_EMIT stateChanged(request.actionId, {ShortcutState::Kind::Live, trigger, {}});
        // The desktop may have put it on other keys than asked: the log says which.
        if (!trigger.isEmpty())
            Log::line(QStringLiteral("Portal: the desktop's trigger for %1: %2").arg(request.description, trigger));
    }
}

QHash<QString, QString> PortalGlobalShortcutService::triggersIn(const QVariantMap &results)
{
    const QVariant list = results.value(QStringLiteral("shortcuts"));
    const PortalShortcutList shortcuts = list.metaType() == QMetaType::fromType<QDBusArgument>()
        ? qdbus_cast<PortalShortcutList>(list.value<QDBusArgument>())
        : PortalShortcutList();
    QHash<QString, QString> triggers;
    for (const PortalShortcut &shortcut : shortcuts)
        triggers.insert(shortcut.id,
                        PortalTrigger::describe(shortcut.properties.value(QStringLiteral("trigger_description")).toString()));
    return triggers;
}

void PortalGlobalShortcutService::answerAll(const ShortcutState &state)
{
    const QList<ShortcutRequest> requests = m_requests;
    for (const ShortcutRequest &request : requests)
        Q_EMIT stateChanged(request.actionId, state);
}

void PortalGlobalShortcutService::closeSession()
{
    if (!m_session)
        return;
    m_session->Close();
    delete m_session;
    m_session = nullptr;
}

void PortalGlobalShortcutService::onSessionClosed()
{
    // The portal ended the session (it restarted, most likely): the shortcuts
    // are gone, so a bound session is bound again, once. One closed before
    // its bind was answered is not retried: that could keep putting the
    // desktop's dialog in front of the user.
    m_session->disconnect(this);
    m_session->deleteLater(); // it is the one emitting
    m_session = nullptr;
    // A session the desktop closes soon after each bind would otherwise be
    // bound again and again: after an automatic rebind, the next one waits
    // until a session has lasted a while.
    const bool rebind = m_rebindOnClose
        && (!m_reboundAutomatically || m_clock() - m_boundAtMs > minimumSessionMsBeforeRebind);
    m_rebindOnClose = false;
    ++m_attempt;
    if (rebind) {
        const QList<ShortcutRequest> requests = m_requests;
        bind(requests);
        m_reboundAutomatically = true;
    } else if (!m_declined) {
        answerAll({ShortcutState::Kind::Failed, {}, QStringLiteral("Portal: the desktop closed the shortcut session")});
    }
}

void PortalGlobalShortcutService::onActivated(const QDBusObjectPath &session, const QString &id, qulonglong timestampMs)
{
    if (m_session && session.path() == m_session->path())
        Q_EMIT activated(id, timestampMs);
}
