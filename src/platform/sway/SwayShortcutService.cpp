#include "platform/sway/SwayShortcutService.h"

#include "model/Log.h"
#include "platform/ActionListChange.h"
#include "platform/posix/RunningExecutable.h"
#include "platform/sway/SwayCommand.h"
#include "platform/sway/SwayIncludedFiles.h"
#include "platform/sway/SwayIpcClient.h"
#include "platform/sway/SwayIpcFrame.h"
#include "platform/sway/SwayKeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// Asked at start, on the main thread: a sway that does not answer soon
// counts as none.
constexpr int offerTimeoutMs = 500;
// For the releases when the program quits; sway answers in microseconds.
constexpr int quitTimeoutMs = 1000;
} // namespace

SwayShortcutService::SwayShortcutService(const QString &socketPath, const QString &program, QObject *parent)
    : GlobalShortcutService(parent), m_ipc(new SwayIpcClient(this)),
      m_socketPath(socketPath.isEmpty() ? SwayIpcClient::socketPathForThisSession() : socketPath),
      m_program(program.isEmpty() ? RunningExecutable::path() : program)
{
    connect(m_ipc, &SwayIpcClient::connected, this, &SwayShortcutService::start);
    connect(m_ipc, &SwayIpcClient::closed, this, &SwayShortcutService::lost);
    connect(m_ipc, &SwayIpcClient::event, this, [this](quint32 type, const QByteArray &payload) {
        if (type == SwayIpcFrame::workspaceEvent
            && QJsonDocument::fromJson(payload).object().value(QLatin1String("change")).toString()
                == QLatin1String("reload"))
            reloaded();
    });
    if (m_socketPath.isEmpty()) {
        m_unavailable = QStringLiteral("SWAYSOCK is not set: this is no sway session");
        Log::line(QStringLiteral("sway: ") + m_unavailable);
        return;
    }
    m_ipc->connectTo(m_socketPath);
}

SwayShortcutService::~SwayShortcutService()
{
    // A reload or a configuration still on its way must not bind anything
    // after the releases below.
    m_quitting = true;
    for (const QString &id : std::as_const(m_order))
        release(m_actions[id]);
    if (!m_ipc->finishPending(quitTimeoutMs))
        Log::line(QStringLiteral("sway: no answer to releasing Vantorel's shortcuts; they may stay until sway reloads"));
}

bool SwayShortcutService::isOffered()
{
    return SwayIpcClient::answers(SwayIpcClient::socketPathForThisSession(), offerTimeoutMs);
}

void SwayShortcutService::start()
{
    m_everConnected = true;
    Log::line(QStringLiteral("sway: binding shortcuts over sway's IPC at ") + m_socketPath);
    // A reload drops what was bound at run time; its workspace event says so.
    m_ipc->send(SwayIpcFrame::subscribe, R"(["workspace"])", [](const QByteArray &reply) {
        if (!QJsonDocument::fromJson(reply).object().value(QLatin1String("success")).toBool())
            Log::line(QStringLiteral("sway: cannot follow reloads (subscribing failed); after `swaymsg reload` "
                                     "restart Vantorel to bind its shortcuts again"));
    });
    // Where the configuration file is, for the files it includes.
    m_ipc->send(SwayIpcFrame::getVersion, {}, [this](const QByteArray &reply) {
        const QJsonObject version = QJsonDocument::fromJson(reply).object();
        m_configPath = version.value(QLatin1String("loaded_config_file_name")).toString();
    });
    readConfig();
}

void SwayShortcutService::readConfig()
{
    m_configKnown = false;
    m_ipc->send(SwayIpcFrame::getConfig, {}, [this](const QByteArray &reply) { configArrived(reply); });
}

void SwayShortcutService::configArrived(const QByteArray &reply)
{
    if (m_quitting)
        return;
    const QJsonValue text = QJsonDocument::fromJson(reply).object().value(QLatin1String("config"));
    if (!text.isString())
        Log::line(QStringLiteral("sway: could not read its configuration; combinations it binds are not checked"));
    // Its included files are not sent: they are read from disk.
    m_config = SwayConfigBindings::parse(text.toString(), m_configPath, &SwayIncludedFiles::read);
    m_configKnown = true;
    for (const QString &id : std::as_const(m_order)) {
        Action &action = m_actions[id];
        if (action.boundKeys.isEmpty())
            place(action);
    }
}

void SwayShortcutService::reloaded()
{
    if (m_quitting)
        return;
    Log::line(QStringLiteral("sway: the configuration was reloaded; binding Vantorel's shortcuts again"));
    for (const QString &id : std::as_const(m_order)) {
        Action &action = m_actions[id];
        action.boundKeys.clear(); // sway forgot them
        action.attempt = ++m_attempts;
    }
    readConfig();
}

void SwayShortcutService::lost(const QString &why)
{
    m_unavailable = m_everConnected
        ? QStringLiteral("sway's IPC is gone (%1): global shortcuts stop until Vantorel starts again").arg(why)
        : QStringLiteral("Cannot reach sway's IPC at %1 (%2)").arg(m_socketPath, why);
    m_configKnown = false;
    Log::line(QStringLiteral("sway: ") + m_unavailable);
    for (const QString &id : std::as_const(m_order)) {
        Action &action = m_actions[id];
        action.boundKeys.clear();
        action.attempt = ++m_attempts;
        setState(action, {ShortcutState::Kind::Failed, {}, m_unavailable});
    }
}

void SwayShortcutService::bind(const QList<ShortcutRequest> &requests)
{
    const ActionListChange change = ActionListChange::between(m_order, requests);
    for (const QString &id : change.released) {
        release(m_actions[id]);
        m_actions.remove(id);
    }
    m_order = change.order;
    for (const ShortcutRequest &request : change.requests) {
        Action &action = m_actions[request.actionId];
        const bool unchanged = action.attempt != 0 && action.request.trigger == request.trigger
            && (action.state.kind == ShortcutState::Kind::Live || action.state.kind == ShortcutState::Kind::Pending);
        action.request = request;
        if (unchanged) {
            Q_EMIT stateChanged(request.actionId, action.state);
            continue;
        }
        release(action);
        action.keys = SwayKeys::fromCombination(request.trigger);
        place(action);
    }
}

void SwayShortcutService::place(Action &action)
{
    action.attempt = ++m_attempts;
    if (action.keys.isEmpty()) {
        setState(action, {ShortcutState::Kind::KeyUnavailable, {}, QStringLiteral("sway has no name for this key")});
        return;
    }
    if (!m_unavailable.isEmpty()) {
        setState(action, {ShortcutState::Kind::Failed, {}, m_unavailable});
        return;
    }
    if (!m_configKnown) {
        setState(action, {ShortcutState::Kind::Pending, {}, QStringLiteral("Waiting for sway's configuration")});
        return;
    }
    if (const std::optional<SwayConfigBindings::Binding> holder = m_config.holderOf(action.keys)) {
        setState(action, takenBy(*holder));
        return;
    }
    const std::optional<QString> command = SwayCommand::bind(action.keys, m_program, action.request.actionId);
    if (!command) {
        setState(action, {ShortcutState::Kind::Failed, {},
                          QStringLiteral("sway cannot run a command with a line break in it")});
        return;
    }
    setState(action, {ShortcutState::Kind::Pending, {}, {}});
    action.boundKeys = action.keys;
    m_ipc->send(SwayIpcFrame::runCommand, command->toUtf8(),
                [this, actionId = action.request.actionId, attempt = action.attempt](const QByteArray &reply) {
                    answerBind(actionId, attempt, reply);
                });
}

void SwayShortcutService::release(Action &action)
{
    if (action.boundKeys.isEmpty())
        return;
    const QString keys = std::exchange(action.boundKeys, QString());
    m_ipc->send(SwayIpcFrame::runCommand, SwayCommand::unbind(keys).toUtf8(), [keys](const QByteArray &reply) {
        if (const std::optional<QString> refusal = refusalIn(reply))
            Log::line(QStringLiteral("sway: could not release %1: %2").arg(keys, *refusal));
    });
}

void SwayShortcutService::answerBind(const QString &actionId, quint64 attempt, const QByteArray &reply)
{
    const auto found = m_actions.find(actionId);
    if (found == m_actions.end() || found->attempt != attempt)
        return;
    if (const std::optional<QString> refusal = refusalIn(reply)) {
        found->boundKeys.clear();
        setState(*found, {ShortcutState::Kind::Failed, {},
                          QStringLiteral("sway refused %1: %2").arg(found->keys, *refusal)});
        return;
    }
    setState(*found, {ShortcutState::Kind::Live, found->keys, {}});
}

std::optional<QString> SwayShortcutService::refusalIn(const QByteArray &reply)
{
    const QJsonDocument document = QJsonDocument::fromJson(reply);
    if (!document.isArray() || document.array().isEmpty())
        return QStringLiteral("its answer could not be read");
    for (const QJsonValue &result : document.array()) {
        const QJsonObject outcome = result.toObject();
        if (outcome.value(QLatin1String("success")).toBool())
            continue;
        const QString error = outcome.value(QLatin1String("error")).toString().simplified();
        return error.isEmpty() ? QStringLiteral("no reason given") : error;
    }
    return std::nullopt;
}

ShortcutState SwayShortcutService::takenBy(const SwayConfigBindings::Binding &holder) const
{
    return {ShortcutState::Kind::TakenElsewhere, {},
            QStringLiteral("%1 is bound in your sway config to: %2").arg(holder.keys, holder.command)};
}

ShortcutState SwayShortcutService::probe(QKeyCombination trigger)
{
    const QString keys = SwayKeys::fromCombination(trigger);
    if (keys.isEmpty())
        return {ShortcutState::Kind::KeyUnavailable, {}, QStringLiteral("sway has no name for this key")};
    if (!m_unavailable.isEmpty())
        return {ShortcutState::Kind::Failed, {}, m_unavailable};
    if (!m_configKnown)
        return {ShortcutState::Kind::Pending, {}, QStringLiteral("Waiting for sway's configuration")};
    if (const std::optional<SwayConfigBindings::Binding> holder = m_config.holderOf(keys))
        return takenBy(*holder);
    return {ShortcutState::Kind::Live, keys, {}};
}

void SwayShortcutService::setState(Action &action, const ShortcutState &state)
{
    action.state = state;
    Q_EMIT stateChanged(action.request.actionId, state);
}
