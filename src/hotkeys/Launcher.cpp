#include "hotkeys/Launcher.h"

#include "model/Log.h"

#include <QUrl>

Launcher::Launcher(std::shared_ptr<AppLauncher> applications, std::shared_ptr<RunningApplicationWindows> windows,
                   WebWindow webWindow, const ButtonPreferences &preferences)
    : m_applications(std::move(applications)), m_windows(std::move(windows)), m_webWindow(std::move(webWindow)),
      m_preferences(preferences)
{
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
        if (m_webWindow) {
            m_webWindow(text, eventTime);
            report(button, std::nullopt);
        } else {
            Log::line(QStringLiteral("❌ No web window to show ") + text);
            report(button, QStringLiteral("no web window in this session"));
        }
        return;
    }
    if (answeredByRunningWindow(button, url, eventTime)) {
        report(button, std::nullopt);
        return;
    }
    Log::line(QStringLiteral("📱 Launching app: ") + text);
    const std::optional<QString> failure = m_applications
        ? m_applications->openApplication(url, eventTime)
        : std::optional<QString>(QStringLiteral("no application launcher in this session"));
    if (failure)
        Log::line(QStringLiteral("❌ Failed to launch app: ") + text + QStringLiteral(": ") + *failure);
    report(button, failure);
}

void Launcher::report(const LaunchButton &button, const std::optional<QString> &failure) const
{
    if (m_onOutcome)
        m_onOutcome(button.id(), failure);
}

bool Launcher::answeredByRunningWindow(const LaunchButton &button, const QUrl &target, quint64 eventTime) const
{
    if (!m_windows || !m_applications)
        return false;
    const std::optional<quintptr> window = m_windows->find(m_applications->identify(target));
    if (!window)
        return false;
    if (!m_windows->isFrontmost(*window)) {
        m_windows->activate(*window, eventTime);
        Log::line(QStringLiteral("🪟 Brought ") + button.name + QStringLiteral(" to the front"));
        return true;
    }
    if (m_preferences.launchMode(button.id()) == ButtonPreferences::LaunchMode::alwaysNewCopy)
        return false;
    Log::line(QStringLiteral("🪟 ") + button.name + QStringLiteral(" is already in front"));
    return true;
}
