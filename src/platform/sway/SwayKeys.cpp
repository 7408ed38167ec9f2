#include "platform/sway/SwayKeys.h"

#include "platform/XkbKeyTable.h"

#include <QStringList>

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>

namespace {
// sway's modifier names (any case) and the bit each stands for.
struct ModifierName {
    const char *name;
    quint32 bit;
};
constexpr quint32 shiftBit = 1u << 0, lockBit = 1u << 1, ctrlBit = 1u << 2, altBit = 1u << 3, mod2Bit = 1u << 4,
                  mod3Bit = 1u << 5, logoBit = 1u << 6, mod5Bit = 1u << 7;
constexpr std::array modifierNames{
    ModifierName{"Shift", shiftBit}, ModifierName{"Lock", lockBit},   ModifierName{"Ctrl", ctrlBit},
    ModifierName{"Control", ctrlBit}, ModifierName{"Mod1", altBit},   ModifierName{"Alt", altBit},
    ModifierName{"Mod2", mod2Bit},   ModifierName{"Mod3", mod3Bit},   ModifierName{"Mod4", logoBit},
    ModifierName{"Super", logoBit},  ModifierName{"Mod5", mod5Bit},
};

std::optional<quint32> modifierBit(const QString &name)
{
    for (const ModifierName &modifier : modifierNames) {
        if (name.compare(QLatin1String(modifier.name), Qt::CaseInsensitive) == 0)
            return modifier.bit;
    }
    return std::nullopt;
}
} // namespace

QString SwayKeys::fromCombination(QKeyCombination combination)
{
    return XkbKeyTable::chord(combination, {"Mod4", "Ctrl", "Mod1", "Shift"});
}

std::optional<SwayKeys::Chord> SwayKeys::chordOf(const QString &keys)
{
    if (keys.isEmpty())
        return std::nullopt;
    Chord chord;
    for (const QString &part : keys.split(QLatin1Char('+'))) {
        if (part.isEmpty())
            return std::nullopt;
        if (const std::optional<quint32> bit = modifierBit(part)) {
            chord.modifiers |= *bit;
            continue;
        }
        // sway looks key names up ignoring case, as here: "B" is b.
        const xkb_keysym_t keysym = xkb_keysym_from_name(part.toUtf8().constData(), XKB_KEYSYM_CASE_INSENSITIVE);
        if (keysym == XKB_KEY_NoSymbol)
            chord.unknown.append(part.toLower());
        else
            chord.keysyms.append(keysym);
    }
    if (chord.keysyms.isEmpty() && chord.unknown.isEmpty())
        return std::nullopt;
    std::sort(chord.keysyms.begin(), chord.keysyms.end());
    std::sort(chord.unknown.begin(), chord.unknown.end());
    return chord;
}
