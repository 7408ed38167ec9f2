#include "app/StartupPhase.h"

#include "hotkeys/HotkeyButtons.h"
#include "platform/StartupPressSource.h"

#include <QApplication>
#include <QUrl>

StartupPhase::StartupPhase(HotkeyButtons &manager, GlobalShortcutService &shortcuts)
    : m_manager(manager), m_presses(dynamic_cast<StartupPressSource *>(&shortcuts))
{
}

StartupPhase::~StartupPhase()
{
    handOverToEventLoop();
}

void StartupPhase::servePresses()
{
    if (m_presses && !m_serving)
        m_presses->readBeforeEventLoop(
            [this](const QString &actionId, quint64 eventTime) { return startNow(actionId, eventTime); });
    m_serving = m_presses != nullptr;
}

std::unique_ptr<QApplication> StartupPhase::buildApplication(int &argc, char **argv)
{
    servePresses();
    return std::make_unique<QApplication>(argc, argv);
}

void StartupPhase::handOverToEventLoop()
{
    if (m_serving)
        m_presses->handOverToEventLoop();
    m_serving = false;
}

// On the service's thread.
bool StartupPhase::startNow(const QString &actionId, quint64 eventTime)
{
    const LaunchButton *button = m_manager.findButton(QUuid::fromString(actionId));
    if (!button || !startsWithoutTheLoop(*button))
        return false;
    m_manager.press(actionId, eventTime);
    return true;
}

bool StartupPhase::startsWithoutTheLoop(const LaunchButton &button)
{
    if (!button.appURLString)
        return true; // nothing to launch
    const QUrl url(*button.appURLString, QUrl::StrictMode);
    return url.isLocalFile() && !url.toLocalFile().endsWith(QLatin1String(".desktop"));
}
