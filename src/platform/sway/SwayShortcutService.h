#pragma once

#include "platform/GlobalShortcutService.h"
#include "platform/sway/SwayConfigBindings.h"

#include <QHash>
#include <QList>
#include <QString>

class SwayIpcClient;

// Global shortcuts in a sway session, bound at run time over sway's IPC:
// one `bindsym … exec "PROGRAM --activate 'ID'"` per button, so a press
// runs the program's command line, which hands the button to this running
// instance. The bindings live only while the program runs: released when a
// button goes or changes and when the program quits, bound again after each
// `swaymsg reload` (which drops every binding made at run time). The user's
// configuration file is never touched; a chord it binds already is left to
// it and reported as taken.
class SwayShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    // program: what a press runs; by default this very executable.
    explicit SwayShortcutService(const QString &socketPath = QString(), const QString &program = QString(),
                                 QObject *parent = nullptr);
    // Releases every binding, waiting for sway's answers briefly.
    ~SwayShortcutService() override;

    // Whether this session has a sway that answers (SWAYSOCK).
    static bool isOffered();

    void bind(const QList<ShortcutRequest> &requests) override;
    HotkeyBackend backend() const override { return HotkeyBackend::Sway; }
    // From the configuration sway last sent: no call to sway.
    ShortcutState probe(QKeyCombination trigger) override;
    // Why sway cannot be reached, once that is known.
    QString serviceProblem() const override { return m_unavailable; }

private:
    struct Action {
        ShortcutRequest request;
        QString keys;      // sway's spelling of request.trigger
        QString boundKeys; // what sway holds for us now; empty when nothing
        ShortcutState state;
        quint64 attempt = 0; // replies to older attempts are stale
    };

    void start();
    void readConfig();
    void configArrived(const QByteArray &reply);
    void reloaded();
    void lost(const QString &why);
    void place(Action &action);
    void release(Action &action);
    void answerBind(const QString &actionId, quint64 attempt, const QByteArray &reply);
    void setState(Action &action, const ShortcutState &state);
    // Why sway refused, from a RUN_COMMAND reply; nothing when it succeeded.
    static std::optional<QString> refusalIn(const QByteArray &reply);
    ShortcutState takenBy(const SwayConfigBindings::Binding &holder) const;

    SwayIpcClient *m_ipc;
    QString m_socketPath;
    QString m_program;
    SwayConfigBindings m_config;
    QString m_configPath;        // the file sway loaded, as it says
    bool m_configKnown = false;  // bindings wait for it
    QString m_unavailable;       // why sway cannot be reached; empty while it can
    bool m_everConnected = false;
    bool m_quitting = false;
    QList<QString> m_order;
    QHash<QString, Action> m_actions;
    quint64 m_attempts = 0;
};
