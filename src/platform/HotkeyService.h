#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

// What a hotkey is called by: the program's signature, the key code and the
// modifier mask it was registered with. A press reports it back.
struct HotkeyIdentity {
    quint32 signature = 0;
    quint32 id = 0;
    quint32 modifiers = 0;

    friend bool operator==(const HotkeyIdentity &, const HotkeyIdentity &) = default;
};

// One hotkey press as the backend delivers it; only the backend reads it.
struct HotkeyPress {
    quint64 token = 0;
    quint32 timestamp = 0; // the window system's time of the press, 0 if unknown
};

using HotkeyHandle = quint64;

// Modifier bits of a hotkey registration.
namespace HotkeyModifier {
inline constexpr quint32 command = 0x0100; // Super on Linux
inline constexpr quint32 shift = 0x0200;
inline constexpr quint32 option = 0x0800;  // Alt on Linux
inline constexpr quint32 control = 0x1000;
} // namespace HotkeyModifier

// System-wide hotkeys. Key codes are the ANSI virtual key codes of the
// shortcut model; each backend maps them to its own keys. All calls and the
// press handler run on the main thread.
class HotkeyService {
public:
    // Returns the status of the press handling; 0 means handled.
    using PressHandler = std::function<int(const HotkeyPress &)>;

    virtual ~HotkeyService() = default;

    // Replaces any handler installed before: only the latest one runs.
    virtual void installPressHandler(PressHandler handler) = 0;

    // A handle on success; nothing when the key is unknown or the desktop
    // refuses it (another program holds the combination).
    virtual std::optional<HotkeyHandle> registerHotkey(quint32 keyCode, quint32 modifierMask,
                                                       HotkeyIdentity identity) = 0;

    virtual void unregisterHotkey(HotkeyHandle handle) = 0;

    // The identity of a press; all zero when the press is not one of ours.
    virtual HotkeyIdentity identityOf(const HotkeyPress &press) const = 0;

    // Lets the program's windows take the focus when a hotkey fires.
    virtual void setActivationPolicyAccessory() = 0;
};
