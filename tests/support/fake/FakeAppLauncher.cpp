#include "FakeAppLauncher.h"

std::optional<QString> FakeAppLauncher::openApplication(const QUrl &target)
{
    if (m_failure)
        return m_failure;
    m_opened.append(target);
    return std::nullopt;
}
