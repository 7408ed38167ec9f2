#pragma once

#include "AppLauncher.h"

#include <QList>

// Records the targets it is asked to open; can be told to fail.
class FakeAppLauncher final : public AppLauncher {
public:
    std::optional<QString> openApplication(const QUrl &target) override;

    void failWith(const QString &reason) { m_failure = reason; }
    const QList<QUrl> &opened() const { return m_opened; }

private:
    QList<QUrl> m_opened;
    std::optional<QString> m_failure;
};
