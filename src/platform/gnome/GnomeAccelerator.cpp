#include "platform/gnome/GnomeAccelerator.h"

#include "platform/XkbKeyTable.h"

#include <QStringList>

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <optional>

namespace {
struct Modifier {
    Qt::KeyboardModifier qt;
    const char *accelerator;
    const char *shown;
};

// GTK's order; Qt's Meta is the Super key.
constexpr std::array modifiers{
    Modifier{Qt::ControlModifier, "<Control>", "Ctrl"},
    Modifier{Qt::ShiftModifier, "<Shift>", "Shift"},
    Modifier{Qt::AltModifier, "<Alt>", "Alt"},
    Modifier{Qt::MetaModifier, "<Super>", "Super"},
};
constexpr Qt::KeyboardModifiers bindable = Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier;

// What GTK makes of one <word>; nothing for words that are no modifier it
// knows. Lock and other modifiers never match a combination of ours.
std::optional<Qt::KeyboardModifiers> modifierOf(QStringView word)
{
    const auto is = [&word](const char *name) { return word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("shift"))
        return Qt::ShiftModifier;
    if (is("control") || is("ctrl") || is("ctl") || is("primary"))
        return Qt::ControlModifier;
    if (is("alt") || is("mod1"))
        return Qt::AltModifier;
    if (is("super"))
        return Qt::MetaModifier;
    if (is("meta") || is("hyper") || is("release") || is("mod2") || is("mod3") || is("mod4") || is("mod5")
        || is("lock"))
        return Qt::KeypadModifier; // stands for "something we never bind"
    return std::nullopt;
}
} // namespace

QString GnomeAccelerator::fromCombination(QKeyCombination combination)
{
    const QString name = XkbKeyTable::keysymName(combination.key());
    if (name.isEmpty())
        return {};
    QString accelerator;
    for (const Modifier &modifier : modifiers) {
        if (combination.keyboardModifiers() & modifier.qt)
            accelerator += QLatin1String(modifier.accelerator);
    }
    return accelerator + name;
}

QString GnomeAccelerator::displayText(QKeyCombination combination)
{
    // Super first, as GNOME Settings reads it aloud.
    QStringList parts;
    if (combination.keyboardModifiers() & Qt::MetaModifier)
        parts << QStringLiteral("Super");
    for (const Modifier &modifier : modifiers) {
        if (modifier.qt != Qt::MetaModifier && (combination.keyboardModifiers() & modifier.qt))
            parts << QLatin1String(modifier.shown);
    }
    parts << XkbKeyTable::name(combination.key());
    return parts.join(QLatin1Char('+'));
}

bool GnomeAccelerator::means(const QString &accelerator, QKeyCombination combination)
{
    const std::optional<XkbKey> key = XkbKeyTable::find(combination.key());
    if (!key)
        return false;
    Qt::KeyboardModifiers held;
    QStringView rest(accelerator);
    rest = rest.trimmed();
    while (rest.startsWith(QLatin1Char('<'))) {
        const qsizetype end = rest.indexOf(QLatin1Char('>'));
        if (end < 0)
            return false;
        // GTK skips words it does not know; so do we.
        if (const std::optional<Qt::KeyboardModifiers> modifier = modifierOf(rest.mid(1, end - 1)))
            held |= *modifier;
        rest = rest.mid(end + 1);
    }
    if (rest.isEmpty())
        return false;
    const QByteArray name = rest.toLatin1();
    const xkb_keysym_t keysym = xkb_keysym_from_name(name.constData(), XKB_KEYSYM_CASE_INSENSITIVE);
    if (keysym == XKB_KEY_NoSymbol)
        return false;
    return xkb_keysym_to_lower(keysym) == xkb_keysym_to_lower(key->keysym)
        && held == (combination.keyboardModifiers() & bindable);
}
