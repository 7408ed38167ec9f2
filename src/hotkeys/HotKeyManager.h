#pragma once

#include "ButtonStore.h"
#include "HotkeyRegistry.h"
#include "Launcher.h"

#include "AppLauncher.h"
#include "GlobalShortcutService.h"
#include "PermissionService.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>

// The program's manager as the windows see it: the button store, the hotkey
// registry and the launcher behind one front. The program makes one in main
// and hands it on; shared() reaches that one. Main thread only (but see
// serveBeforeEventLoop()). Made before the QCoreApplication, it needs the
// applicationPath.
class HotKeyManager : public QObject {
    Q_OBJECT

public:
    enum class PermissionStatus { granted, denied, unknown };

    // What the manager works with. Missing services make the steps that need
    // them fail with a log line.
    struct Services {
        std::shared_ptr<GlobalShortcutService> shortcuts;
        std::shared_ptr<AppLauncher> launcher;
        std::shared_ptr<PermissionService> permission;
        Launcher::WebWindow openWebAddress; // shows a web address in the program's web window
        QString homeDirectory;   // the button file lives here; the user's home when empty
        QString applicationPath; // the running executable, for the start-up log
    };

    // Logs the start-up lines, loads the buttons and binds their hotkeys.
    explicit HotKeyManager(Services services, QObject *parent = nullptr);
    ~HotKeyManager() override;

    // The manager made first and still alive. Calling it with none is a
    // programming error that ends the process.
    static HotKeyManager &shared();

    ButtonStore &store() { return m_store; }
    HotkeyRegistry &registry() { return m_registry; }

    const LaunchButtonList &buttons() const { return m_store.buttons(); }
    QUrl saveFileURL() const { return QUrl::fromLocalFile(m_store.filePath()); }
    QString saveFilePath() const { return m_store.filePath(); }

    void loadButtons() { m_store.loadButtons(); }
    void saveButtons() { m_store.saveButtons(); }
    void addButton() { m_store.addButton(); }
    void updateButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL);
    void removeButtons(QList<qsizetype> positions) { m_store.removeButtons(std::move(positions)); }

    // See HotkeyRegistry: presses served before the event loop exists.
    void serveBeforeEventLoop() { m_registry.serveBeforeEventLoop(); }
    void serveFromEventLoop() { m_registry.serveFromEventLoop(); }

    void registerAllShortcuts() { m_registry.registerAllShortcuts(); }
    void unregisterAllShortcuts() { m_registry.unregisterAllShortcuts(); }
    QStringList registeredShortcutIds() const { return m_registry.registeredShortcutIds(); }
    // The desktop's shortcut service in use: "X11", "none", …
    QString hotkeyBackend() const { return m_registry.backendName(); }

    // As a press would, without a press time.
    void launchButton(const LaunchButton &button) { m_launcher.launch(button, 0); }
    // Launches the button with this name (exactly, else ignoring case) or
    // id, as its hotkey would; false when there is none.
    bool activateButton(const QString &nameOrId);

    PermissionStatus checkAccessibilityPermission() const;
    bool requestAccessibilityPermission() const;
    static QString permissionName(PermissionStatus status);

private:
    Services m_services;
    ButtonStore m_store;
    Launcher m_launcher;
    HotkeyRegistry m_registry;
};
