#pragma once

#include "ButtonFile.h"
#include "LaunchButton.h"
#include "ModifierFlags.h"

#include "AppLauncher.h"
#include "HotkeyService.h"
#include "PermissionService.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

// The one manager of the program: holds the button list and its file,
// registers one global hotkey per button, launches targets, and reports
// whether global hotkeys can work in this session. Main thread only.
class HotKeyManager : public QObject {
    Q_OBJECT

public:
    enum class PermissionStatus { granted, denied, unknown };

    using Handler = std::function<void()>;

    // What the manager works with. Missing services make the steps that need
    // them fail with a log line.
    struct Services {
        std::shared_ptr<HotkeyService> hotkeys;
        std::shared_ptr<AppLauncher> launcher;
        std::shared_ptr<PermissionService> permission;
        // Shows a web address in the program's web window.
        std::function<void(const QString &address)> openWebAddress;
        QString homeDirectory;   // the button file lives here
        QString applicationPath; // the running executable, for the start-up log
    };

    // "VNTL" as a big-endian 32-bit number.
    static constexpr quint32 signature = 0x564E544C;

    // Hands the shared instance its services; call before the first shared().
    static void provideSharedServices(Services services);
    // The process-wide instance, created on first use and never destroyed.
    static HotKeyManager &shared();

    // A manager of its own (tests); the program uses shared().
    explicit HotKeyManager(Services services);

    // The button list, in the order the user sees and shortcuts register.
    const LaunchButtonList &buttons() const { return m_buttons; }
    void setButtons(LaunchButtonList buttons);
    // Removes the buttons at these positions of buttons(), in place.
    void removeButtons(QList<qsizetype> positions);

    QUrl saveFileURL() const { return QUrl::fromLocalFile(m_file.path()); }
    QString saveFilePath() const { return m_file.path(); }

    void loadButtons();
    void saveButtons();

    void registerAllShortcuts();
    void registerShortcut(const LaunchButton &button);
    void registerHotKey(const QString &key, ModifierFlags modifiers, Handler handler);
    void unregisterAllShortcuts();
    // Dispatches one press; always reports it handled (0).
    int handleHotKeyEvent(const HotkeyPress &press);

    void launchButton(const LaunchButton &button);
    void addButton();
    void updateButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL);

    PermissionStatus checkAccessibilityPermission() const;
    bool requestAccessibilityPermission() const;
    static QString permissionName(PermissionStatus status);

    // The shortcut ids registered now.
    QStringList registeredShortcutIds() const { return m_hotKeyRefs.keys(); }

    // Key code, modifier mask and signature: "3_2304_1447973964".
    static QString shortcutId(quint32 keyCode, quint32 modifierMask, quint32 signature);
    static quint32 modifierMask(ModifierFlags modifiers);

signals:
    // Emitted before every change of buttons().
    void buttonsAboutToChange();

private:
    Services m_services;
    QHash<QString, HotkeyHandle> m_hotKeyRefs;
    QHash<QString, Handler> m_shortcutHandlers;
    LaunchButtonList m_buttons;
    ButtonFile m_file;
};
