#include "ModifierFlags.h"

const ModifierFlags ModifierFlags::command{1};
const ModifierFlags ModifierFlags::option{2};
const ModifierFlags ModifierFlags::shift{4};
const ModifierFlags ModifierFlags::control{8};

ModifierFlags::ModifierFlags(std::initializer_list<ModifierFlags> members)
{
    for (ModifierFlags member : members)
        insert(member);
}

ModifierFlags ModifierFlags::fromEventFlags(Qt::KeyboardModifiers eventFlags)
{
    ModifierFlags flags;
    if (eventFlags & Qt::MetaModifier)
        flags.insert(command);
    if (eventFlags & Qt::AltModifier)
        flags.insert(option);
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
