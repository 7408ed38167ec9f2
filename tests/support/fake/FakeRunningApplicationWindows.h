#pragma once

#include "platform/RunningApplicationWindows.h"

#include <QList>
#include <QMap>

// Other programs' windows as a test lays them out, each with one window
// class; records the activations asked for, with the press times.
class FakeRunningApplicationWindows final : public RunningApplicationWindows {
public:
    struct Activation {
        quintptr window;
        quint64 eventTime;
        friend bool operator==(const Activation &, const Activation &) = default;
    };

    void open(quintptr window, const QString &windowClass) { m_classes.insert(window, windowClass); }
    void setFrontmost(quintptr window) { m_frontmost = window; }
    void setCanFindWindows(bool can) { m_canFind = can; }

    bool canFindWindows() override { return m_canFind; }
    std::optional<quintptr> find(const ApplicationIdentity &application) override
    {
        for (auto it = m_classes.cbegin(); it != m_classes.cend(); ++it) {
            if (application.windowClasses.contains(it.value(), Qt::CaseInsensitive))
                return it.key();
        }
        return std::nullopt;
    }
    bool isFrontmost(quintptr window) override { return window == m_frontmost; }
    void activate(quintptr window, quint64 eventTime) override { m_activated.append({window, eventTime}); }

    const QList<Activation> &activated() const { return m_activated; }

private:
    QMap<quintptr, QString> m_classes;
    quintptr m_frontmost = 0;
    bool m_canFind = true;
    QList<Activation> m_activated;
};
