#pragma once

#include "platform/WindowActivator.h"

#include <QList>

// Records the windows it is asked to activate, with the event times given.
class FakeWindowActivator final : public WindowActivator {
public:
    void activate(quintptr nativeWindowId, quint64 eventTime) override
    {
        m_activated.append(nativeWindowId);
        m_eventTimes.append(eventTime);
    }
    const QList<quintptr> &activated() const { return m_activated; }
    const QList<quint64> &eventTimes() const { return m_eventTimes; }

private:
    QList<quintptr> m_activated;
    QList<quint64> m_eventTimes;
};
