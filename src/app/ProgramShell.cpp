#include "app/ProgramShell.h"

#include "app/VantorelApp.h"
#include "platform/posix/RunningExecutable.h"

#include <functional>

ProgramShell::ProgramShell(const DesktopServices &desktop)
    : m_desktop(desktop), m_webWindow(WebWindowLoader::defaultPluginPath(), desktop.activator),
      m_manager({.shortcuts = desktop.shortcuts,
                 .launcher = desktop.launcher,
                 .openWebAddress = std::bind_front(&ProgramShell::openWebAddress, this),
                 .homeDirectory = {}, // the user's home
                 .applicationPath = RunningExecutable::path(),
                 .windows = desktop.windows,
                 .configDirectory = {}})
{
    m_buildTimer.setSingleShot(true);
    QObject::connect(&m_buildTimer, &QTimer::timeout, &m_buildTimer, [this] { shell(); });
}

ProgramShell::~ProgramShell() = default;

void ProgramShell::showShortcutsEditor()
{
    shell().showShortcutsEditor();
}

// Web addresses wait for the event loop, so the QApplication exists.
void ProgramShell::openWebAddress(const QString &address, quint64 eventTime)
{
    shell();
    m_webWindow.loadURL(address, eventTime);
}

VantorelApp &ProgramShell::shell()
{
    if (!m_shell)
        m_shell = std::make_unique<VantorelApp>(
            m_manager, VantorelApp::Services{.loginItem = m_desktop.loginItem,
                                             .activator = m_desktop.activator,
                                             .executablePath = RunningExecutable::path(),
                                             .notifications = m_desktop.notifications});
    return *m_shell;
}
