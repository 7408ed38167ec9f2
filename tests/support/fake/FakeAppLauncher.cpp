#include "FakeAppLauncher.h"

std::optional<QString> FakeAppLauncher::openApplication(const QUrl &target, quint64 eventTime)
{
    if (whileOpening)
        whileOpening();
    if (m_failure)
        return m_failure;
    m_opened.append({target, eventTime});
    return std::nullopt;
}
