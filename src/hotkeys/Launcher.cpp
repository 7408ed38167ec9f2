#include "Launcher.h"

#include "Log.h"

#include <QUrl>

Launcher::Launcher(std::shared_ptr<AppLauncher> applications, WebWindow webWindow)
    : m_applications(std::move(applications)), m_webWindow(std::move(webWindow))
{
}

bool Launcher::startsOffTheLoop(const LaunchButton &button)
{
    if (!button.appURLString)
        return true; // nothing to launch
    const QUrl url(*button.appURLString, QUrl::StrictMode);
    return url.isLocalFile() && !url.toLocalFile().endsWith(QLatin1String(".desktop"));
}

void Launcher::launch(const LaunchButton &button, quint64 eventTime) const
{
    if (!button.appURLString)
        return;
    const QString &text = *button.appURLString;
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return;
    if (text.startsWith(QStringLiteral("http://")) || text.startsWith(QStringLiteral("https://"))) {
        Log::line(QStringLiteral("🌐 Launching web URL: ") + text);
        if (m_webWindow)
            m_webWindow(text, eventTime);
        else
            Log::line(QStringLiteral("❌ No web window to show ") + text);
        return;
    }
    Log::line(QStringLiteral("📱 Launching app: ") + text);
    const std::optional<QString> failure = m_applications
        ? m_applications->openApplication(url, eventTime)
        : std::optional<QString>(QStringLiteral("no application launcher in this session"));
    if (failure)
        Log::line(QStringLiteral("❌ Failed to launch app: ") + text + QStringLiteral(": ") + *failure);
}
