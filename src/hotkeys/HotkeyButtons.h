#pragma once

#include "hotkeys/ButtonPreferences.h"
#include "hotkeys/ButtonStore.h"
#include "hotkeys/HotkeyRegistry.h"
#include "hotkeys/Launcher.h"

#include "platform/AppLauncher.h"
#include "platform/GlobalShortcutService.h"
#include "platform/RunningApplicationWindows.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>

// The buttons, their hotkeys and their launches as the windows see them: the
// button store, the hotkey registry and the launcher behind one front. The
// program makes one and hands it on. Main thread only (but see
// HotkeyRegistry). Made before the QCoreApplication, it needs the
// applicationPath, and watches the button file once the event loop runs.
class HotkeyButtons : public QObject {
    Q_OBJECT

public:
    // What the manager works with. Missing services make the steps that need
    // them fail with a log line.
    struct Services {
        std::shared_ptr<GlobalShortcutService> shortcuts;
        std::shared_ptr<AppLauncher> launcher;
        Launcher::WebWindow openWebAddress; // shows a web address in the program's web window
        QString homeDirectory;   // the button file lives here; the user's home when empty
        QString applicationPath; // the running executable, for the start-up log
        std::shared_ptr<RunningApplicationWindows> windows; // other programs' windows, to bring one to the front
        QString configDirectory; // the program's settings live here; $XDG_CONFIG_HOME when empty
    };

    // Logs the start-up lines, loads the buttons and binds their hotkeys.
    explicit HotkeyButtons(Services services, QObject *parent = nullptr);

    const LaunchButtonList &buttons() const { return m_store.buttons(); }
    const LaunchButton *findButton(QUuid id) const { return m_store.find(id); }
    QString saveFilePath() const { return m_store.filePath(); }

    void saveButtons() { m_store.saveButtons(); }
    void addButton() { m_store.addButton(); }
    void updateButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL);
    void removeButtons(QList<qsizetype> positions) { m_store.removeButtons(std::move(positions)); }
    // Undoes a removal: the button in its place, with its id, its hotkey and
    // its launch mode.
    void restoreButton(qsizetype position, const LaunchButton &button, ButtonPreferences::LaunchMode launchMode);

    // What a press does while the button's application has a window; kept
    // in the program's settings, not in the button file.
    ButtonPreferences::LaunchMode launchMode(QUuid id) const { return m_preferences.launchMode(id); }
    void setLaunchMode(QUuid id, ButtonPreferences::LaunchMode mode) { m_preferences.setLaunchMode(id, mode); }
    // Whether this desktop lets a press find the application's window;
    // without, every press starts a new copy.
    bool canBringToFront() const { return m_services.windows && m_services.windows->canFindWindows(); }

    // As the button's hotkey would, with the window system's time of the press.
    void press(const QString &actionId, quint64 eventTime) { m_registry.press(actionId, eventTime); }
    // Nothing while the button's hotkey has no answer yet or shortcuts are released.
    std::optional<ShortcutState> hotkeyState(QUuid buttonId) const { return m_registry.stateOf(buttonId); }
    void registerAllShortcuts() { m_registry.registerAllShortcuts(); }
    void unregisterAllShortcuts() { m_registry.unregisterAllShortcuts(); }
    QStringList registeredShortcutIds() const { return m_registry.registeredShortcutIds(); }
    // The desktop's shortcut service in use.
    HotkeyBackend hotkeyBackend() const { return m_registry.backend(); }
    // Whether the desktop has its own page for changing Vantorel's
    // shortcuts (KDE's System Settings, the portal's dialog), and opening it.
    bool hasDesktopShortcutSettings() const { return m_registry.hasDesktopSettings(); }
    void openDesktopShortcutSettings() { m_registry.openDesktopSettings(); }
    // Why the desktop's shortcut service cannot take Vantorel's shortcuts at
    // all (one sentence), empty while nothing stands in the way.
    QString hotkeyServiceProblem() const { return m_registry.serviceProblem(); }
    // Whether global shortcuts can work in this session: a shortcut service
    // with nothing in its way.
    bool hotkeysWork() const;
    // "granted" or "denied", as the log says whether hotkeys work.
    static QString permissionName(bool hotkeysWork);
    // Where the shortcuts go into the desktop's own settings only with the
    // user's consent (GNOME's custom shortcuts): the words of the request and
    // of taking everything out again (empty where no consent is needed),
    // the answer, and giving or taking it back.
    QString desktopConsentRequest() const;
    QString desktopConsentWithdrawal() const;
    bool hasDesktopConsent() const;
    void setDesktopConsent(bool given);

    // What the shortcut text would meet as this button's hotkey, asked while
    // the user edits it: another button on the same key (its name; see
    // ShortcutId::owners), and what the desktop would do with the combination.
    struct ShortcutCheck {
        std::optional<QString> sameAs;
        ShortcutState desktop;
    };
    ShortcutCheck checkShortcut(QUuid buttonId, const QString &shortcutText) const;

    // As a press would, without a press time.
    void launchButton(const LaunchButton &button) { m_launcher.launch(button, 0); }
    // Launches the button with this name (exactly, else ignoring case) or
    // id, as its hotkey would; false when there is none.
    bool activateButton(const QString &nameOrId);

Q_SIGNALS:
    void buttonsChanged();
    void hotkeyStateChanged(QUuid buttonId);
    // Also when another process gave or took back the consent.
    void desktopConsentChanged(bool given);
    // A launch of this button did not start its target; may come from
    // another thread (see HotkeyRegistry).
    void launchFailed(QUuid buttonId, const QString &reason);
    // A launch of this button started its target or brought its window forward.
    void launchStarted(QUuid buttonId);

private:
    Services m_services;
    ButtonStore m_store;
    ButtonPreferences m_preferences;
    Launcher m_launcher;
    HotkeyRegistry m_registry;
};
