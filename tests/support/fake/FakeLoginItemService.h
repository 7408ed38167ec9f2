#pragma once

#include "platform/LoginItemService.h"

#include <QStringList>

// Records the registrations it is asked for; can be told to fail.
class FakeLoginItemService final : public LoginItemService {
public:
    std::optional<QString> registerApplication(const QString &executablePath) override
    {
        m_registered.append(executablePath);
        return m_failure;
    }

    void failWith(const QString &reason) { m_failure = reason; }
    const QStringList &registered() const { return m_registered; }

private:
    QStringList m_registered;
    std::optional<QString> m_failure;
};
