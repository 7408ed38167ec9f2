#pragma once

#include "WindowActivator.h"

#include <QList>

// Records the windows it is asked to activate.
class FakeWindowActivator final : public WindowActivator {
public:
    void activate(quintptr nativeWindowId) override { m_activated.append(nativeWindowId); }
    const QList<quintptr> &activated() const { return m_activated; }

private:
    QList<quintptr> m_activated;
};
