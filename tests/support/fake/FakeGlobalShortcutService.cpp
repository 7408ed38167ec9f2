#include "FakeGlobalShortcutService.h"

void FakeGlobalShortcutService::bind(const QList<ShortcutRequest> &requests)
{
    ++m_bindCount;
    m_bound = requests;
    m_answers.clear();
    if (m_answerLater)
        return;
    for (const ShortcutRequest &request : requests) {
        const ShortcutState state = probe(request.trigger);
        m_answers.insert(request.actionId, state);
        Q_EMIT stateChanged(request.actionId, state);
    }
}

ShortcutState FakeGlobalShortcutService::probe(QKeyCombination trigger)
{
    return m_answerFor.value(trigger.toCombined(), {ShortcutState::Kind::Live, QStringLiteral("as asked"), {}});
}

void FakeGlobalShortcutService::answerWith(QKeyCombination trigger, ShortcutState state)
{
    m_answerFor.insert(trigger.toCombined(), std::move(state));
}

bool FakeGlobalShortcutService::press(QKeyCombination trigger, quint64 eventTime)
{
    for (const ShortcutRequest &request : std::as_const(m_bound)) {
        const auto answer = m_answers.constFind(request.actionId);
        if (request.trigger == trigger && answer != m_answers.constEnd() && answer->kind == ShortcutState::Kind::Live) {
            Q_EMIT activated(request.actionId, eventTime);
            return true;
        }
    }
    return false;
}
