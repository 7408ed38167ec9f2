#pragma once

#include "HotkeyService.h"

#include <QList>
#include <QSet>

#include <utility>

// In-memory hotkeys for tests: records what is registered and lets a test
// press a combination as the desktop would.
class FakeHotkeyService final : public HotkeyService {
public:
    struct Registration {
        HotkeyHandle handle;
        quint32 keyCode;
        quint32 modifierMask;
        HotkeyIdentity identity;
    };

    void installPressHandler(PressHandler handler) override;
    std::optional<HotkeyHandle> registerHotkey(quint32 keyCode, quint32 modifierMask,
                                               HotkeyIdentity identity) override;
    void unregisterHotkey(HotkeyHandle handle) override;
    HotkeyIdentity identityOf(const HotkeyPress &press) const override;
    void setActivationPolicyAccessory() override;

    // Presses a combination. Returns the handler's status, or nothing when no
    // registration matches (the desktop would not deliver such a press).
    std::optional<int> press(quint32 keyCode, quint32 modifierMask);
    // Delivers a press that carries an identity nothing registered.
    std::optional<int> pressForeign(HotkeyIdentity identity);

    // Makes later registrations of this combination fail, as when another
    // program holds it.
    void refuse(quint32 keyCode, quint32 modifierMask);

    const QList<Registration> &registrations() const { return m_registrations; }
    int handlerInstallCount() const { return m_installCount; }
    int activationPolicyCalls() const { return m_activationCalls; }

private:
    PressHandler m_handler;
    QList<Registration> m_registrations;
    QSet<std::pair<quint32, quint32>> m_refused;
    QList<HotkeyIdentity> m_foreignPresses;
    HotkeyHandle m_nextHandle = 1;
    int m_installCount = 0;
    int m_activationCalls = 0;
};
