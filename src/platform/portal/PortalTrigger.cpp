#include "PortalTrigger.h"

#include "XkbKeyTable.h"

#include <QStringList>

#include <xkbcommon/xkbcommon.h>

#include <array>

QString PortalTrigger::fromCombination(QKeyCombination combination)
{
    const std::optional<XkbKey> key = XkbKeyTable::find(combination.key());
    if (!key)
        return {};
    std::array<char, 64> name{};
    if (xkb_keysym_get_name(key->keysym, name.data(), name.size()) <= 0)
        return {};

    QStringList parts;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    parts << QString::fromLatin1(name.data());
    return parts.join(QLatin1Char('+'));
}
