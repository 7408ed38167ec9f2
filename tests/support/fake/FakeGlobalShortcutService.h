#pragma once

#include "GlobalShortcutService.h"

#include <QHash>
#include <QList>

// A desktop's global shortcuts for tests: records what it is asked to bind,
// answers as a test tells it (at once, or later by hand), and presses a
// combination as the desktop would report it.
class FakeGlobalShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    void bind(const QList<ShortcutRequest> &requests) override;
    QString backendName() const override { return m_backendName; }
    // As a bind of the trigger would be answered.
    ShortcutState probe(QKeyCombination trigger) override;
    void setBackendName(const QString &name) { m_backendName = name; }
    bool hasDesktopSettings() const override { return m_hasDesktopSettings; }
    void openDesktopSettings() override { ++m_desktopSettingsOpened; }
    void setHasDesktopSettings(bool has) { m_hasDesktopSettings = has; }
    int desktopSettingsOpened() const { return m_desktopSettingsOpened; }
    QString serviceProblem() const override { return m_serviceProblem; }
    void setServiceProblem(const QString &problem) { m_serviceProblem = problem; }

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
    QString m_backendName = QStringLiteral("fake");
    int m_bindCount = 0;
    bool m_hasDesktopSettings = false;
    QString m_serviceProblem;
    int m_desktopSettingsOpened = 0;
};
