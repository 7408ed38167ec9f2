#pragma once

#include "platform/portal/PortalShortcut.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QStringList>

#include <functional>

// The desktop's GlobalShortcuts portal for tests, on a test bus: owns
// org.freedesktop.portal.Desktop, answers CreateSession, ListShortcuts and
// BindShortcuts through Response signals on the request paths, as the real
// portal does, and emits Activated and Closed on command. Lives on the
// thread that makes it, which must run its event loop while it is called.
class FakeShortcutPortal final : public QDBusVirtualObject {
    Q_OBJECT

public:
    enum class Answer {
        AsAsked,        // each shortcut on its preferred trigger
        AnotherTrigger, // each shortcut on assignedTrigger(), as a desktop that chooses
        Declined,       // response 1: the user cancelled the dialog
        Failed,         // response 2
        FailedWithShortcuts, // response 2 with the bound shortcuts, as GNOME 48 answers after its dialog
    };

    // connectionName: a connection to the test bus of its own (PrivateSessionBus::connect).
    explicit FakeShortcutPortal(const QString &connectionName);
    ~FakeShortcutPortal() override;

    bool isRunning() const { return m_running; }

    void setAnswer(Answer answer) { m_answer = answer; }
    static QString assignedTrigger() { return QStringLiteral("CTRL+SHIFT+F9"); }
    // GNOME's trigger_description, for FailedWithShortcuts.
    static QString gnomeTriggerDescription() { return QStringLiteral("Press <Alt><Super>f"); }
    // ListShortcuts answers this response with these shortcuts (by default
    // 0 and none).
    void setListAnswer(uint response, const PortalShortcutList &listed);
    // A bind answer without trigger_description, as some desktops give.
    void leaveTriggersOut(bool leaveOut) { m_leaveTriggersOut = leaveOut; }

    // org.freedesktop.host.portal.Registry.Register: by default the portal
    // has no registry (an UnknownMethod error, as before 1.19); with
    // acceptRegistrations it accepts; with failRegistrations it answers the
    // error as xdg-desktop-portal does for an app id without a desktop entry,
    // the given number of times (all when negative), then accepts.
    void acceptRegistrations() { m_registry = Registry::accepts; }
    void failRegistrations(const QString &message, int times = -1)
    {
        m_registry = Registry::fails;
        m_registryError = message;
        m_failuresLeft = times;
    }
    QStringList registeredAppIds() const { return m_registeredAppIds; }
    // Called as each Register call arrives, before it is answered.
    void onRegister(std::function<void()> callback) { m_onRegister = std::move(callback); }

    // Emits Activated for id in the latest session (or the given one).
    void activate(const QString &id, quint64 timestampMs, const QString &session = QString());
    // Emits Closed for the latest session, as a restarting portal does.
    void closeSession();

    int sessionCount() const { return m_sessions.size(); }
    QString latestSession() const { return m_sessions.value(m_sessions.size() - 1); }
    QStringList closedByClient() const { return m_closedByClient; }
    int bindCount() const { return m_bindCount; } // each bind may show the desktop's dialog
    const PortalShortcutList &lastBound() const { return m_lastBound; }
    int configureCount() const { return m_configureCount; }

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    QString answerWithRequest(const QDBusMessage &message, const QVariantMap &options);
    void respond(const QString &requestPath, uint response, const QVariantMap &results);

    QDBusConnection m_bus;
    bool m_running = false;
    Answer m_answer = Answer::AsAsked;
    QStringList m_sessions;
    QStringList m_closedByClient;
    int m_bindCount = 0;
    int m_configureCount = 0;
    PortalShortcutList m_lastBound;
    uint m_listResponse = 0;
    PortalShortcutList m_listed;
    bool m_leaveTriggersOut = false;
    enum class Registry { absent, accepts, fails } m_registry = Registry::absent;
    QString m_registryError;
    int m_failuresLeft = -1;
    QStringList m_registeredAppIds;
    std::function<void()> m_onRegister;
};
