#pragma once

#include "model/LaunchButton.h"
#include "platform/GlobalShortcutService.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>

class ButtonStore;
struct KeyboardShortcut;
class Launcher;

// Binds the store's buttons as global shortcuts, one action per button, and
// launches a button when the desktop reports its shortcut pressed. Once
// registerAllShortcuts() has run it follows the store: each change rebinds
// what changed. Keeps, per button, what the desktop did with its shortcut.
// Main thread only (a press of the start-up may come on another thread while
// the main thread leaves the registry alone; see StartupPressSource).
class HotkeyRegistry : public QObject {
    Q_OBJECT

public:
    HotkeyRegistry(ButtonStore &store, std::shared_ptr<GlobalShortcutService> shortcuts, const Launcher &launcher,
                   QObject *parent = nullptr);

    // Binds every button and follows the store from now on.
    void registerAllShortcuts();
    // Releases every shortcut and stops following the store until the next
    // registerAllShortcuts(): presses then reach other programs.
    void unregisterAllShortcuts();

    // Nothing while the button has no answer yet or shortcuts are released.
    std::optional<ShortcutState> stateOf(QUuid buttonId) const;
    // The shortcut ids of the hotkeys that work now, for the log.
    QStringList registeredShortcutIds() const;
    HotkeyBackend backend() const;
    // What binding this trigger would meet now; see GlobalShortcutService::probe.
    ShortcutState probe(QKeyCombination trigger) const;
    bool hasDesktopSettings() const;
    void openDesktopSettings();
    // See GlobalShortcutService::serviceProblem.
    QString serviceProblem() const;

    // Launches the button whose shortcut the desktop reports pressed.
    void press(const QString &actionId, quint64 eventTime);

Q_SIGNALS:
    void stateChanged(QUuid buttonId);

private:
    struct Registration {
        QString shortcutId;
        QString keyText;
        LaunchButton button;
    };
    // The log lines that open one button's registration, in list order.
    struct Announcement {
        QString actionId;
        QStringList lines;
    };

    enum Announce { AnnounceAll, AnnounceChanged };

    void followStore();
    // Binds the store's list; logs the registration of every button, or of
    // those whose shortcut changed since the last bind.
    void bindAll(Announce which);
    Announcement announce(const QString &actionId, const KeyboardShortcut &shortcut,
                          const std::optional<QKeyCombination> &combination) const;
    void logAnnouncementsThrough(qsizetype last);
    void setState(QUuid buttonId, const ShortcutState &state);
    void answer(const QString &actionId, const ShortcutState &state);

    ButtonStore &m_store;
    std::shared_ptr<GlobalShortcutService> m_shortcuts;
    const Launcher &m_launcher;
    bool m_following = false;
    QHash<QString, Registration> m_requested;  // by action id: what the desktop was asked for
    QHash<QString, QString> m_boundShortcuts;  // by action id: every button's shortcut text at the last bind
    QHash<QUuid, ShortcutState> m_states;
    QSet<QString> m_awaitingResult;            // announced, result line not logged yet
    QList<Announcement> m_announcements;       // of the bind in progress
    QHash<QString, qsizetype> m_announcementIndex;
    qsizetype m_announced = 0;
    QSet<QString> m_saidForThisBind;           // reasons logged since the latest bind
    bool m_binding = false;
};
