#include "FakeHotkeyService.h"

// Tokens of foreign presses sit above this bit so they never meet a handle.
static constexpr quint64 foreignTokenBit = quint64(1) << 63;

void FakeHotkeyService::installPressHandler(PressHandler handler)
{
    m_handler = std::move(handler);
    ++m_installCount;
}

std::optional<HotkeyHandle> FakeHotkeyService::registerHotkey(quint32 keyCode, quint32 modifierMask,
                                                              HotkeyIdentity identity)
{
    if (m_refused.contains({keyCode, modifierMask}))
        return std::nullopt;
    for (const Registration &r : std::as_const(m_registrations)) {
        if (r.keyCode == keyCode && r.modifierMask == modifierMask)
            return std::nullopt; // the desktop allows one owner per combination
    }
    const HotkeyHandle handle = m_nextHandle++;
    m_registrations.append({handle, keyCode, modifierMask, identity});
    return handle;
}

void FakeHotkeyService::unregisterHotkey(HotkeyHandle handle)
{
    m_registrations.removeIf([handle](const Registration &r) { return r.handle == handle; });
}

HotkeyIdentity FakeHotkeyService::identityOf(const HotkeyPress &press) const
{
    if (press.token & foreignTokenBit) {
        const qsizetype index = qsizetype(press.token & ~foreignTokenBit);
        return index < m_foreignPresses.size() ? m_foreignPresses.at(index) : HotkeyIdentity{};
    }
    for (const Registration &r : m_registrations) {
        if (r.handle == press.token)
            return r.identity;
    }
    return {};
}

void FakeHotkeyService::setActivationPolicyAccessory()
{
    ++m_activationCalls;
}

std::optional<int> FakeHotkeyService::press(quint32 keyCode, quint32 modifierMask)
{
    for (const Registration &r : std::as_const(m_registrations)) {
        if (r.keyCode == keyCode && r.modifierMask == modifierMask && m_handler)
            return m_handler(HotkeyPress{r.handle, 0});
    }
    return std::nullopt;
}

std::optional<int> FakeHotkeyService::pressForeign(HotkeyIdentity identity)
{
    if (!m_handler)
        return std::nullopt;
    m_foreignPresses.append(identity);
    return m_handler(HotkeyPress{foreignTokenBit | quint64(m_foreignPresses.size() - 1), 0});
}

void FakeHotkeyService::refuse(quint32 keyCode, quint32 modifierMask)
{
    m_refused.insert({keyCode, modifierMask});
}
