#include "platform/x11/X11Keyboard.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#define XK_MISCELLANY
#include <X11/keysymdef.h>

#include <cstdlib>
#include <memory>

X11Keyboard::X11Keyboard(xcb_connection_t *connection) : m_connection(connection)
{
    reload();
}

X11Keyboard::~X11Keyboard()
{
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
}

void X11Keyboard::reload()
{
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
    m_symbols = xcb_key_symbols_alloc(m_connection);
    readModifierMap();
}

QList<uint8_t> X11Keyboard::keycodesFor(const XkbKey &key) const
{
    // Only the first layout's two columns: with several layouts loaded, the
    // other columns hold other layouts' keys, and grabbing those would take
    // keys the user types (Ctrl+Y of a German layout is Ctrl+Z of a US one).
    QList<uint8_t> result;
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    for (int keycode = setup->min_keycode; keycode <= setup->max_keycode; ++keycode) {
        for (int column = 0; column < 2; ++column) {
            if (xcb_key_symbols_get_keysym(m_symbols, xcb_keycode_t(keycode), column) == key.keysym) {
                result.append(uint8_t(keycode));
                break;
            }
        }
    }
    if (result.isEmpty())
        result.append(key.usKeycode);
    return result;
}

uint16_t X11Keyboard::modifiersFor(Qt::KeyboardModifiers modifiers) const
{
    uint16_t mods = 0;
    if (modifiers & Qt::MetaModifier)
        mods |= m_superMask;
    if (modifiers & Qt::AltModifier)
        mods |= m_altMask;
    if (modifiers & Qt::ShiftModifier)
        mods |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mods |= XCB_MOD_MASK_CONTROL;
    return mods;
}

QList<uint16_t> X11Keyboard::lockCombinations() const
{
    QList<uint16_t> combinations{0};
    for (uint16_t bit : m_lockBits) {
        const qsizetype count = combinations.size();
        for (qsizetype i = 0; i < count; ++i)
            combinations.append(combinations.at(i) | bit);
    }
    return combinations;
}

void X11Keyboard::readModifierMap()
{
    // Defaults of every common layout, kept when the map names no such key.
    uint16_t super = XCB_MOD_MASK_4;
    uint16_t alt = XCB_MOD_MASK_1;
    uint16_t numLock = 0;
    uint16_t scrollLock = 0;

    std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> reply(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr),
        &std::free);
    if (reply) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        bool superFound = false;
        bool altFound = false;
        // Shift, Lock and Control keep their own bits; look at Mod1..Mod5.
        for (int modifier = 3; modifier < 8; ++modifier) {
            const uint16_t bit = uint16_t(1u << modifier);
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[modifier * perModifier + i];
                if (code == 0)
                    continue;
                for (int column = 0; column < 4; ++column) {
                    switch (xcb_key_symbols_get_keysym(m_symbols, code, column)) {
                    case XK_Num_Lock:
                        numLock = bit;
                        break;
                    case XK_Scroll_Lock:
                        scrollLock = bit;
                        break;
                    case XK_Super_L:
                    case XK_Super_R:
                        if (!superFound)
                            super = bit;
                        superFound = true;
                        break;
                    case XK_Alt_L:
                    case XK_Alt_R:
                        if (!altFound)
                            alt = bit;
                        altFound = true;
                        break;
                    default:
                        break;
                    }
                }
            }
        }
    }

    m_superMask = super;
    m_altMask = alt;
    m_lockBits.clear();
    // A lock that shares its bit with a modifier of ours cannot be ignored.
    for (uint16_t bit : {uint16_t(XCB_MOD_MASK_LOCK), numLock, scrollLock}) {
        if (bit != 0 && bit != super && bit != alt && !m_lockBits.contains(bit))
            m_lockBits.append(bit);
    }
    m_lockMask = 0;
    for (uint16_t bit : m_lockBits)
        m_lockMask |= bit;
}
