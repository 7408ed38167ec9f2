#pragma once

#include "platform/GlobalShortcutService.h"

#include <QHash>
#include <QList>

// A desktop's global shortcuts for tests: records what it is asked to bind,
// answers as a test tells it (at once, or later by hand), and presses a
// combination as the desktop would report it.
class FakeGlobalShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    void bind(const QList<ShortcutRequest> &requests) override;
    HotkeyBackend backend() const override { return m_backend; }
    // As a bind of the trigger would be answered.
    ShortcutState probe(QKeyCombination trigger) override;
    void setBackend(HotkeyBackend backend) { m_backend = backend; }
    bool hasDesktopSettings() const override { return m_hasDesktopSettings; }
    void openDesktopSettings() override { ++m_desktopSettingsOpened; }
    void setHasDesktopSettings(bool has) { m_hasDesktopSettings = has; }
    int desktopSettingsOpened() const { return m_desktopSettingsOpened; }
    QString serviceProblem() const override { return m_serviceProblem; }
    void setServiceProblem(const QString &problem) { m_serviceProblem = problem; }
    // A desktop whose settings the program changes only with the user's
    // consent: the request's words, empty for none (the default).
    void asksConsent(const QString &request, const QString &withdrawal)
    {
        m_consentRequest = request;
        m_consentWithdrawal = withdrawal;
        m_consent = false;
    }
    QString consentRequest() const override { return m_consentRequest; }
    QString consentWithdrawal() const override { return m_consentWithdrawal; }
    bool hasConsent() const override { return m_consent; }
    void setConsent(bool given) override
    {
        m_consent = given;
        Q_EMIT consentChanged(given);
    }

    // What binds of this trigger are answered with from now on; by default
    // Live, on the trigger asked for.
    void answerWith(QKeyCombination trigger, ShortcutState state);
    // Binds get no answer until answer() is called, as with a desktop that asks the user.
    void answerLater() { m_answerLater = true; }
    void answer(const QString &actionId, const ShortcutState &state) { Q_EMIT stateChanged(actionId, state); }
    // Reports a press of this action, bound or not.
    void activate(const QString &actionId, quint64 eventTime) { Q_EMIT activated(actionId, eventTime); }

    // Reports the action bound to this trigger pressed; false when none is
    // live on it (the desktop would not deliver such a press).
    bool press(QKeyCombination trigger, quint64 eventTime = 0);

    const QList<ShortcutRequest> &bound() const { return m_bound; }
    int bindCount() const { return m_bindCount; }

private:
    QList<ShortcutRequest> m_bound;
    QHash<QString, ShortcutState> m_answers; // by action id, as answered
    QHash<int, ShortcutState> m_answerFor;   // by trigger
    bool m_answerLater = false;
    HotkeyBackend m_backend = HotkeyBackend::X11;
    int m_bindCount = 0;
    bool m_hasDesktopSettings = false;
    QString m_serviceProblem;
    int m_desktopSettingsOpened = 0;
    QString m_consentRequest;
    QString m_consentWithdrawal;
    bool m_consent = true;
};
