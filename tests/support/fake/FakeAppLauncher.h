#pragma once

#include "platform/AppLauncher.h"

#include <QList>

#include <functional>

// Records the targets it is asked to open, with the press time; can be told
// to fail. A target's windows are known by its file name.
class FakeAppLauncher final : public AppLauncher {
public:
    struct Launch {
        QUrl target;
        quint64 eventTime;
        friend bool operator==(const Launch &, const Launch &) = default;
    };

    std::optional<QString> openApplication(const QUrl &target, quint64 eventTime) override;
    // The target's windows carry its file name as their class.
    ApplicationIdentity identify(const QUrl &target) override { return {{}, {target.fileName()}}; }

    void failWith(const QString &reason) { m_failure = reason; }
    void succeed() { m_failure.reset(); }
    // Runs inside each openApplication call, before it returns.
    std::function<void()> whileOpening;
    const QList<Launch> &opened() const { return m_opened; }

private:
    QList<Launch> m_opened;
    std::optional<QString> m_failure;
};
