#pragma once

#include "GlobalShortcutService.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QHash>
#include <QVariantMap>

class QDBusMessage;

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

    void bind(const QList<ShortcutRequest> &requests) override;
    QString backendName() const override;
    bool hasDesktopSettings() const override;
    void openDesktopSettings() override;
    QString serviceProblem() const override { return m_registrationProblem; }

private Q_SLOTS:
    void onActivated(const QDBusMessage &message);
    void onSessionClosed(const QDBusMessage &message);

private:
    bool installDesktopEntry();
    void startSession();
    void registerAppId(bool entryJustWritten);
    static bool refusedRegistration(const QDBusMessage &reply);
    void takeRegistration(const QDBusMessage &reply);
    void createSession(quint64 attempt);
    void listShortcuts(quint64 attempt);
    void bindShortcuts(quint64 attempt);
    void takeBindAnswer(uint response, const QVariantMap &results, const QString &error);
    // id → trigger as the button shows it, from a ListShortcuts or
    // BindShortcuts answer.
    static QHash<QString, QString> triggersIn(const QVariantMap &results);
    void answerAll(const ShortcutState &state);
    void closeSession();

    QDBusConnection m_bus;
    uint m_version;
    QList<ShortcutRequest> m_requests;
    QHash<QString, QString> m_listed; // what the desktop had bound before this session's bind
    QString m_registrationProblem;    // why the portal refused the app id, empty when it did not
    enum class Registration { notAsked, asking, done };
    Registration m_registration = Registration::notAsked; // once per connection
    QString m_session;      // the current session's handle, empty while none
    quint64 m_attempt = 0;  // answers of an abandoned attempt are ignored
    bool m_bindQueued = false;
    bool m_rebindOnClose = false; // a bound session that closes is bound again, once
    bool m_reboundAutomatically = false;
    QElapsedTimer m_boundFor;
    static constexpr qint64 minimumSessionMsBeforeRebind = 10 * 60 * 1000;
    static constexpr int registrationRetryMs = 1000;
};
