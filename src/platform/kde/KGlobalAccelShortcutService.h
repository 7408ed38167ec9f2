#pragma once

#include "platform/GlobalShortcutService.h"

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QStringList>

class KGlobalAccelComponentProxy;
class KGlobalAccelProxy;
class QDBusPendingCall;
class QDBusServiceWatcher;
struct KGlobalAccelShortcutInfo;

// Global shortcuts through KDE's shortcut daemon (org.kde.kglobalaccel), on
// Plasma under X11 and Wayland alike. One action per button in the
// program's component; the user can reassign them in System Settings, and
// the keys the daemon reports are what the rows show. Every call is
// asynchronous, so a slow daemon never stalls the program. When the daemon
// restarts, everything is registered again.
class KGlobalAccelShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    explicit KGlobalAccelShortcutService(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                                         QObject *parent = nullptr);
    // Marks the actions inactive, so the desktop lists them as such while
    // the program is not running; the user's assignments stay.
    ~KGlobalAccelShortcutService() override;

    // Whether the bus has the daemon, running or startable on demand.
    static bool isOffered(const QDBusConnection &bus);
    // The component's unique name: the desktop-file id without ".desktop".
    static QString componentName();

    void bind(const QList<ShortcutRequest> &requests) override;
    HotkeyBackend backend() const override { return HotkeyBackend::KGlobalAccel; }
    QString serviceProblem() const override { return m_serviceUp ? QString() : m_waiting; }
    // Asks the daemon who holds the keys, waiting for its answer briefly.
    ShortcutState probe(QKeyCombination trigger) override;
    bool hasDesktopSettings() const override { return true; }
    void openDesktopSettings() override;

private:
    struct Action {
        ShortcutRequest request;
        ShortcutState state;
        quint64 attempt = 0; // replies to older attempts are stale
    };

    QStringList actionIdOf(const ShortcutRequest &request) const;
    void registerAction(Action &action);
    void reportTaken(const Action &action);
    // Asks the daemon who holds the keys of trigger; -1: its usual wait.
    QDBusPendingCall askHolders(QKeyCombination trigger, int timeoutMs);
    // Who holds a combination, from askHolders' answer; empty when the
    // answer does not say.
    static QString holderIn(const QDBusPendingCall &reply);
    // The answer's first shortcut info; empty names where it has none.
    static KGlobalAccelShortcutInfo firstHolder(const QDBusPendingCall &reply);
    void answerRegistration(const QString &actionId, quint64 attempt, const QDBusPendingCall &call);
    void setState(Action &action, const ShortcutState &state);
    void listenForPresses();
    void onPressed(const QString &component, const QString &action, qlonglong timestamp);
    void serviceGone();
    void serviceBack();

    QDBusConnection m_bus;
    KGlobalAccelProxy *m_daemon;
    QDBusServiceWatcher *m_watcher;
    KGlobalAccelComponentProxy *m_component = nullptr; // its presses are heard while it exists
    QString m_waiting;              // what rows say while the daemon is away
    QList<QString> m_order;         // action ids as last bound
    QHash<QString, Action> m_actions;
    quint64 m_attempts = 0;
    bool m_serviceUp = true;
    bool m_askingForComponent = false;
};
