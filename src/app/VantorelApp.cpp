#include "app/VantorelApp.h"

#include "app/ConfigurationWindowController.h"
#include "app/ShortcutsEditorWindowController.h"
#include "app/TrayIcon.h"
#include "hotkeys/HotkeyButtons.h"
#include "model/Log.h"
#include "platform/LoginItemService.h"

#include "platform/DesktopNotifications.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSystemTrayIcon>

VantorelApp::VantorelApp(HotkeyButtons &manager, Services services, QObject *parent)
    : QObject(parent), m_manager(manager), m_services(std::move(services)),
      m_shortcutsEditor(new ShortcutsEditorWindowController(manager, m_services.activator, this)),
      m_configurationWindowController(new ConfigurationWindowController(manager, m_services.activator, this))
{
    connect(m_shortcutsEditor, &ShortcutsEditorWindowController::configurationRequested,
            m_configurationWindowController, &ConfigurationWindowController::showWindow);

    registerLoginItem();
    connect(&manager, &HotkeyButtons::launchFailed, this, &VantorelApp::tellLaunchFailure);

    const bool hasTray = QSystemTrayIcon::isSystemTrayAvailable();
    if (hasTray) {
        m_trayIcon = new TrayIcon(this);
        connect(m_trayIcon, &TrayIcon::shortcutsEditorRequested, this, &VantorelApp::showShortcutsEditor);
        connect(m_trayIcon, &TrayIcon::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }

    // Never unreachable: without a tray the editor is the way in.
    if (!hasTray)
        showShortcutsEditor();
    // Hotkeys that cannot work deserve an explanation up front, and those
    // waiting for the user's consent (GNOME's custom shortcuts) the question.
    if (!manager.hotkeysWork() || !manager.hasDesktopConsent())
        m_configurationWindowController->showWindow();
}

VantorelApp::~VantorelApp() = default;

void VantorelApp::showShortcutsEditor()
{
    m_shortcutsEditor->showWindow();
}

void VantorelApp::tellLaunchFailure(QUuid buttonId, const QString &reason)
{
    // In front, the editor's badge says it; otherwise the person who pressed
    // the hotkey would see nothing happen.
    if (QApplication::activeWindow() || !m_services.notifications)
        return;
    const LaunchButton *button = m_manager.findButton(buttonId);
    const QString name = button ? button->name : QString();
    m_services.notifications->notify(tr("\u201c%1\u201d did not start").arg(name), reason);
}

void VantorelApp::registerLoginItem()
{
    const std::optional<QString> failure = m_services.loginItem
        ? m_services.loginItem->registerApplication(m_services.executablePath)
        : std::optional<QString>(QStringLiteral("no login item service in this session"));
    if (failure)
        Log::line(QStringLiteral("Failed to register app as login item: ") + *failure);
}
