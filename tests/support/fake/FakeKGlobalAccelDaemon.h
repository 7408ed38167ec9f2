#pragma once

#include "kde/KGlobalAccelKeys.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <optional>

// What KDE's shortcut daemon answers on /kglobalaccel, for FakeKGlobalAccel:
// the calls a program makes for its own component. Lives on the fake's own
// thread; its records are read from the test's thread under a lock.
class FakeKGlobalAccelDaemon : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KGlobalAccel")

public:
    // What globalShortcutsByKey lists: the daemon's shortcut info, as
    // (ssssssaiai): action, component and context names, then keys; and
    // its match type, as (i).
    struct Holder {
        QString component;
        QString action;
        int keys = 0;
    };
    struct MatchType {
        int value = 0;
    };
    static void registerDBusTypes();

    struct Action {
        int keys = 0; // the first key sequence's first key; 0: none
        bool active = false;
        QString friendlyName; // what KDE's shortcut settings show for it
    };

    static QString componentPath(const QString &componentUnique);

    // Combinations another program holds: given to nobody else.
    void hold(int keys, const Holder &holder);
    // Forgets every component and action, as a restarted daemon does
    // before programs register again.
    void forget();

    QStringList components() const;
    // "component/action" of what is registered, sorted.
    QStringList registered() const;
    std::optional<Action> action(const QString &component, const QString &actionUnique) const;

public Q_SLOTS:
    void doRegister(const QStringList &actionId);
    QList<KGlobalAccelKeys> setShortcutKeys(const QStringList &actionId, const QList<KGlobalAccelKeys> &keys,
                                            uint flags);
    bool unregister(const QString &componentUnique, const QString &shortcutUnique);
    void setInactive(const QStringList &actionId);
    QDBusObjectPath getComponent(const QString &componentUnique);
    // Qualified: QtDBus finds the types by the names moc records.
    QList<FakeKGlobalAccelDaemon::Holder> globalShortcutsByKey(const KGlobalAccelKeys &key,
                                                               const FakeKGlobalAccelDaemon::MatchType &type);

private:
    static QString keyOf(const QStringList &actionId);

    mutable QMutex m_mutex;
    QHash<int, Holder> m_held;
    QSet<QString> m_components;
    QHash<QString, Action> m_actions; // by "component/action"
};

QDBusArgument &operator<<(QDBusArgument &argument, const FakeKGlobalAccelDaemon::Holder &holder);
const QDBusArgument &operator>>(const QDBusArgument &argument, FakeKGlobalAccelDaemon::Holder &holder);
QDBusArgument &operator<<(QDBusArgument &argument, const FakeKGlobalAccelDaemon::MatchType &type);
const QDBusArgument &operator>>(const QDBusArgument &argument, FakeKGlobalAccelDaemon::MatchType &type);

Q_DECLARE_METATYPE(FakeKGlobalAccelDaemon::Holder)
Q_DECLARE_METATYPE(FakeKGlobalAccelDaemon::MatchType)
