#pragma once

#include "HotkeyService.h"

#include <QList>
#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <memory>

class LatestPressTime;
class QSocketNotifier;
class X11Connection;
class X11Keyboard;

// Global hotkeys as passive key grabs on the root window. Presses are read
// from the shared X11Connection, watched by a socket notifier on the main
// thread, so no Qt platform plugin is involved.
class X11HotkeyService final : public HotkeyService {
public:
    X11HotkeyService(std::shared_ptr<X11Connection> connection,
                     std::shared_ptr<LatestPressTime> latestPress);
    ~X11HotkeyService() override;

    // Whether hotkeys can be registered at all: the X connection works.
    bool isConnected() const;

    // Called once, on the main thread, when the X server goes away while the
    // program runs. Without a handler the loss is only logged.
    void installConnectionLostHandler(std::function<void()> handler);

    void installPressHandler(PressHandler handler) override;
    std::optional<HotkeyHandle> registerHotkey(quint32 keyCode, quint32 modifierMask,
                                               HotkeyIdentity identity) override;
    void unregisterHotkey(HotkeyHandle handle) override;
    HotkeyIdentity identityOf(const HotkeyPress &press) const override;
    // Nothing to do on X11: the program's windows may always take the focus.
    void setActivationPolicyAccessory() override;

private:
    struct Grab {
        uint8_t keycode;
        uint16_t modifiers;
    };
    struct Registration {
        HotkeyHandle handle = 0;
        quint32 keyCode = 0;
        quint32 modifierMask = 0;
        HotkeyIdentity identity;
        uint16_t xModifiers = 0;
        QList<uint8_t> keycodes;
        QList<Grab> grabs; // as made, so they can be undone after a layout change
    };

    bool grab(Registration &registration);
    void ungrab(Registration &registration);
    bool clashesWithOwn(const Registration &candidate) const;
    void readEvents(bool fromSocket);
    void reportLostConnection();
    void dispatchPress(uint8_t keycode, uint16_t state, uint32_t time);
    void renewGrabs();
    QString describe(const Registration &registration) const;

    std::shared_ptr<X11Connection> m_connection;
    std::shared_ptr<LatestPressTime> m_latestPress;
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::unique_ptr<QSocketNotifier> m_notifier;
    PressHandler m_handler;
    std::function<void()> m_connectionLost;
    QList<Registration> m_registrations;
    HotkeyHandle m_nextHandle = 1;
    bool m_lostReported = false;
};
