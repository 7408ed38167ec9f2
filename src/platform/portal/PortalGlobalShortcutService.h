#pragma once

#include "platform/GlobalShortcutService.h"

#include <QDBusConnection>
#include <QHash>
#include <QVariantMap>

#include <functional>

class PortalGlobalShortcutsProxy;
class PortalSessionProxy;
class QDBusError;
class QDBusObjectPath;

// Global shortcuts through the desktop's GlobalShortcuts portal (GNOME 48+,
// Plasma 6, Hyprland). The whole list is bound once per portal session; the
// desktop may ask the user first, so every action answers Pending at once
// and the desktop's answer (with the trigger it really assigned) follows.
// A changed list means a new session. Nothing is retried on its own: a
// retry may put the desktop's dialog in front of the user again.
class PortalGlobalShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    // version: the interface version offeredVersion() read.
    PortalGlobalShortcutService(const QDBusConnection &bus, uint version, QObject *parent = nullptr);
    ~PortalGlobalShortcutService() override;

    // The portal's GlobalShortcuts version on this bus, 0 when it offers none
    // (or does not answer within a moment).
    static uint offeredVersion(const QDBusConnection &bus);

    // Milliseconds on a steady clock, for how long a session lasted; tests
    // move time on with their own.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }

    void bind(const QList<ShortcutRequest> &requests) override;
    HotkeyBackend backend() const override { return HotkeyBackend::Portal; }
    bool hasDesktopSettings() const override;
    void openDesktopSettings() override;
    QString serviceProblem() const override;

private:
    bool installDesktopEntry();
    void startSession();
    void registerAppId(bool entryJustWritten);
    static bool refusedRegistration(const QDBusError &error);
    void takeRegistration(const QDBusError &error);
    void createSession(quint64 attempt);
    void listShortcuts(quint64 attempt);
    void bindShortcuts(quint64 attempt);
    void takeBindAnswer(uint response, const QVariantMap &results, const QString &error);
    // id → trigger as the button shows it, from a ListShortcuts or
    // BindShortcuts answer.
    static QHash<QString, QString> triggersIn(const QVariantMap &results);
    void answerAll(const ShortcutState &state);
    void closeSession();
    void onSessionClosed();
    void onActivated(const QDBusObjectPath &session, const QString &id, qulonglong timestampMs);

    QDBusConnection m_bus;
    uint m_version;
    PortalGlobalShortcutsProxy *m_portal;
    QList<ShortcutRequest> m_requests;
    QHash<QString, QString> m_listed; // what the desktop had bound before this session's bind
    QString m_registrationProblem;    // why the portal refused the app id, empty when it did not
    enum class Registration { notAsked, asking, done };
    Registration m_registration = Registration::notAsked; // once per connection
    PortalSessionProxy *m_session = nullptr; // the current session, while there is one
    quint64 m_attempt = 0;  // answers of an abandoned attempt are ignored
    bool m_bindQueued = false;
    bool m_rebindOnClose = false; // a bound session that closes is bound again, once
    bool m_reboundAutomatically = false;
    bool m_declined = false; // the user said no to this list: a closed session changes nothing
    Clock m_clock;
    qint64 m_boundAtMs = 0;
    static constexpr qint64 minimumSessionMsBeforeRebind = 10 * 60 * 1000;
    static constexpr int registrationRetryMs = 1000;
};
