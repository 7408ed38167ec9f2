#include "platform/XkbKeyTable.h"

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <string_view>
#include <utility>

namespace {
struct SpecialKey {
    Qt::Key key;
    quint32 keysym;
    quint8 usKeycode;
    const char *name;
};

// US positions are evdev scan codes + 8, as X numbers them.
constexpr std::array specialKeys{
    SpecialKey{Qt::Key_Space, XK_space, 65, "Space"},   SpecialKey{Qt::Key_Return, XK_Return, 36, "Return"},
    SpecialKey{Qt::Key_Tab, XK_Tab, 23, "Tab"},         SpecialKey{Qt::Key_Escape, XK_Escape, 9, "Escape"},
    SpecialKey{Qt::Key_Left, XK_Left, 113, "Left"},     SpecialKey{Qt::Key_Right, XK_Right, 114, "Right"},
    SpecialKey{Qt::Key_Up, XK_Up, 111, "Up"},           SpecialKey{Qt::Key_Down, XK_Down, 116, "Down"},
    SpecialKey{Qt::Key_F1, XK_F1, 67, "F1"},            SpecialKey{Qt::Key_F2, XK_F2, 68, "F2"},
    SpecialKey{Qt::Key_F3, XK_F3, 69, "F3"},            SpecialKey{Qt::Key_F4, XK_F4, 70, "F4"},
    SpecialKey{Qt::Key_F5, XK_F5, 71, "F5"},            SpecialKey{Qt::Key_F6, XK_F6, 72, "F6"},
    SpecialKey{Qt::Key_F7, XK_F7, 73, "F7"},            SpecialKey{Qt::Key_F8, XK_F8, 74, "F8"},
    SpecialKey{Qt::Key_F9, XK_F9, 75, "F9"},            SpecialKey{Qt::Key_F10, XK_F10, 76, "F10"},
    SpecialKey{Qt::Key_F11, XK_F11, 95, "F11"},         SpecialKey{Qt::Key_F12, XK_F12, 96, "F12"},
};

// Printable ASCII (Qt's key number is the character, letters upper-cased)
// and the US keycode that types it, plain or with Shift.
constexpr std::string_view usRows[] = {
    "1234567890-=",    "!@#$%^&*()_+", // keycodes 10..21
    "QWERTYUIOP[]",    "QWERTYUIOP{}", // 24..35
    "ASDFGHJKL;'`",    "ASDFGHJKL:\"~", // 38..49
    "\\ZXCVBNM,./",    "|ZXCVBNM<>?",  // 51..61
};
constexpr quint8 usRowStart[] = {10, 24, 38, 51};

std::optional<quint8> usKeycodeOf(char c)
{
    for (int row = 0; row < 4; ++row) {
        for (const std::string_view &chars : {usRows[2 * row], usRows[2 * row + 1]}) {
            if (const size_t at = chars.find(c); at != std::string_view::npos)
                return quint8(usRowStart[row] + at);
        }
    }
    return std::nullopt;
}
} // namespace

std::optional<XkbKey> XkbKeyTable::find(Qt::Key key)
{
    for (const SpecialKey &special : specialKeys) {
        if (special.key == key)
            return XkbKey{special.keysym, special.usKeycode};
    }
    if (key <= 0x20 || key >= 0x7f)
        return std::nullopt;
    const std::optional<quint8> usKeycode = usKeycodeOf(char(key));
    if (!usKeycode)
        return std::nullopt;
    // Latin-1 keysyms are the characters; letters are named in lower case.
    const quint32 keysym = key >= Qt::Key_A && key <= Qt::Key_Z ? quint32(key) + 0x20 : quint32(key);
    return XkbKey{keysym, *usKeycode};
}

std::optional<Qt::Key> XkbKeyTable::usShiftedSymbol(Qt::Key key)
{
    if (key <= 0x20 || key >= 0x7f || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return std::nullopt;
    for (int row = 0; row < 4; ++row) {
        const std::string_view plain = usRows[2 * row], shifted = usRows[2 * row + 1];
        if (const size_t at = plain.find(char(key)); at != std::string_view::npos)
            return Qt::Key(shifted[at]);
        if (shifted.find(char(key)) != std::string_view::npos)
            return key;
    }
    return std::nullopt;
}

QString XkbKeyTable::name(Qt::Key key)
{
    for (const SpecialKey &special : specialKeys) {
        if (special.key == key)
            return QString::fromLatin1(special.name);
    }
    if (key > 0x20 && key < 0x7f)
        return QString(QChar(key));
    return QStringLiteral("0x%1").arg(quint32(key), 0, 16);
}

QString XkbKeyTable::keysymName(Qt::Key key)
{
    const std::optional<XkbKey> found = find(key);
    std::array<char, 64> name{};
    if (!found || xkb_keysym_get_name(found->keysym, name.data(), name.size()) <= 0)
        return {};
    return QString::fromLatin1(name.data());
}

QString XkbKeyTable::chord(QKeyCombination combination, const ModifierNames &names)
{
    QString text = keysymName(combination.key());
    if (text.isEmpty())
        return {};
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    // Prepended from the last: the result reads Super, Control, Alt, Shift.
    const std::pair<Qt::KeyboardModifier, const char *> order[] = {{Qt::ShiftModifier, names.shift},
                                                                   {Qt::AltModifier, names.alt},
                                                                   {Qt::ControlModifier, names.control},
                                                                   {Qt::MetaModifier, names.super}};
    for (const auto &[modifier, name] : order) {
        if (modifiers & modifier)
            text.prepend(QLatin1String(name) + QLatin1Char('+'));
    }
    return text;
}
