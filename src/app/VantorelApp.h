#pragma once

#include <QObject>
#include <QString>
#include <QUuid>

#include <memory>

class ConfigurationWindowController;
class DesktopNotifications;
class HotkeyButtons;
class ShortcutsEditorWindowController;
class LoginItemService;
class TrayIcon;
class WindowActivator;

// The program's shell: the editor and configuration windows (hidden), the
// tray item with its menu, and the login item. Made after the manager, whose
// hotkeys work before any window exists.
class VantorelApp : public QObject {
    Q_OBJECT

public:
    struct Services {
        std::shared_ptr<LoginItemService> loginItem;
        std::shared_ptr<WindowActivator> activator;
        QString executablePath; // what the login item starts
        // Where a failed launch is told while no Vantorel window is in front; may be null.
        std::shared_ptr<DesktopNotifications> notifications = {};
    };

    VantorelApp(HotkeyButtons &manager, Services services, QObject *parent = nullptr);
    ~VantorelApp() override;

    ShortcutsEditorWindowController &shortcutsEditor() const { return *m_shortcutsEditor; }
    ConfigurationWindowController &configurationWindowController() const { return *m_configurationWindowController; }

    void showShortcutsEditor();

private:
    void registerLoginItem();
    void tellLaunchFailure(QUuid buttonId, const QString &reason);

    HotkeyButtons &m_manager;
    Services m_services;
    ShortcutsEditorWindowController *m_shortcutsEditor;
    ConfigurationWindowController *m_configurationWindowController;
    TrayIcon *m_trayIcon = nullptr;
};
