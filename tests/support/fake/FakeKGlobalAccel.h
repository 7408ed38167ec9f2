#pragma once

#include <QDBusConnection>
#include <QKeyCombination>
#include <QStringList>
#include <QThread>

#include <memory>

class FakeKGlobalAccelDaemon;

// KDE's shortcut daemon for tests, on a private bus under its real name
// (org.kde.kglobalaccel). It answers on a thread of its own, so a program
// that waits for it on the test's thread still gets its answers. The test
// presses actions, makes combinations taken and restarts it.
class FakeKGlobalAccel {
public:
    // bus: a connection of the test's own, which the fake takes the name on.
    explicit FakeKGlobalAccel(const QDBusConnection &bus);
    ~FakeKGlobalAccel();
    FakeKGlobalAccel(const FakeKGlobalAccel &) = delete;
    FakeKGlobalAccel &operator=(const FakeKGlobalAccel &) = delete;

    bool isServing() const { return m_serving; }

    // Reports the action pressed, as the daemon does, from the component
    // that registered it; false when none did.
    bool press(const QString &actionUnique, qint64 timestamp);
    // From now on this combination is another program's: setShortcutKeys
    // answers 0 for it, globalShortcutsByKey names the holder.
    void holdElsewhere(QKeyCombination keys, const QString &component = QStringLiteral("Spectacle"),
                       const QString &action = QStringLiteral("Capture Entire Desktop"));
    // Drops the bus name, forgets everything and takes the name again.
    void restart();

    // The actions registered, as "component/action", sorted.
    QStringList registered() const;
    // The combination an action has, as QKeyCombination::toCombined(); 0 when none.
    int keysOf(const QString &component, const QString &actionUnique) const;
    bool isActive(const QString &component, const QString &actionUnique) const;
    // The name KDE's shortcut settings show for the action; empty when none.
    QString friendlyNameOf(const QString &component, const QString &actionUnique) const;

private:
    bool takeName();

    QDBusConnection m_bus;
    QThread m_thread;
    std::unique_ptr<FakeKGlobalAccelDaemon> m_daemon;
    bool m_serving = false;
};
