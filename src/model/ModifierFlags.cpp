#include "model/ModifierFlags.h"

const ModifierFlags ModifierFlags::super{1};
const ModifierFlags ModifierFlags::alt{2};
const ModifierFlags ModifierFlags::shift{4};
const ModifierFlags ModifierFlags::control{8};

ModifierFlags ModifierFlags::fromEventFlags(Qt::KeyboardModifiers eventFlags)
{
    ModifierFlags flags;
    if (eventFlags & Qt::MetaModifier)
        flags.insert(super);
    if (eventFlags & Qt::AltModifier)
        flags.insert(alt);
    if (eventFlags & Qt::ShiftModifier)
        flags.insert(shift);
    if (eventFlags & Qt::ControlModifier)
        flags.insert(control);
    return flags;
}

QString ModifierFlags::logDescription() const
{
    return QStringLiteral("ModifierFlags(rawValue: %1)").arg(m_rawValue);
}
