#pragma once

#include "platform/XkbKeyTable.h"

#include <QList>

#include <cstdint>

struct xcb_connection_t;
struct _XCBKeySymbols;

// The server's current keyboard layout and modifier map, as far as passive
// grabs need them: which keycodes type a key, which modifier bits stand for
// Super and Alt, and which bits are locks (Caps, Num, Scroll) that must not
// stop a hotkey. reload() after every MappingNotify.
class X11Keyboard {
public:
    explicit X11Keyboard(xcb_connection_t *connection);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard &) = delete;
    X11Keyboard &operator=(const X11Keyboard &) = delete;

    void reload();

    // Every keycode that types the key's symbol in the current layout, or
    // its US position when the layout has no such symbol.
    QList<uint8_t> keycodesFor(const XkbKey &key) const;

    // X modifier bits for Qt's modifiers (Meta is Super).
    uint16_t modifiersFor(Qt::KeyboardModifiers modifiers) const;

    // Every combination of the lock bits, the empty one first.
    QList<uint16_t> lockCombinations() const;
    uint16_t lockMask() const { return m_lockMask; }

private:
    void readModifierMap();

    xcb_connection_t *m_connection;
    _XCBKeySymbols *m_symbols = nullptr;
    uint16_t m_superMask = 0;
    uint16_t m_altMask = 0;
    uint16_t m_lockMask = 0;
    QList<uint16_t> m_lockBits;
};
