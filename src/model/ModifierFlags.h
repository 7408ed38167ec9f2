#pragma once

#include <QString>
#include <Qt>

#include <initializer_list>

// The modifier keys of a shortcut: an option set over a 64-bit raw value.
// Construction from a raw value keeps every bit of it.
class ModifierFlags {
public:
    static const ModifierFlags command;
    static const ModifierFlags option;
    static const ModifierFlags shift;
    static const ModifierFlags control;

    constexpr ModifierFlags() = default;
    constexpr explicit ModifierFlags(quint64 rawValue) : m_rawValue(rawValue) {}
    ModifierFlags(std::initializer_list<ModifierFlags> members);

    // The modifiers of a key event: Super (Meta) → command, Alt → option,
    // Shift → shift, Control → control. Every other bit is dropped.
    static ModifierFlags fromEventFlags(Qt::KeyboardModifiers eventFlags);

    constexpr quint64 rawValue() const { return m_rawValue; }
    constexpr bool isEmpty() const { return m_rawValue == 0; }
    constexpr bool contains(ModifierFlags member) const { return (m_rawValue & member.m_rawValue) == member.m_rawValue; }
    constexpr bool isSubset(ModifierFlags other) const { return (m_rawValue & ~other.m_rawValue) == 0; }
    constexpr bool isSuperset(ModifierFlags other) const { return other.isSubset(*this); }
    constexpr bool isDisjoint(ModifierFlags other) const { return (m_rawValue & other.m_rawValue) == 0; }

    constexpr ModifierFlags united(ModifierFlags other) const { return ModifierFlags(m_rawValue | other.m_rawValue); }
    constexpr ModifierFlags intersected(ModifierFlags other) const { return ModifierFlags(m_rawValue & other.m_rawValue); }
    constexpr ModifierFlags symmetricDifference(ModifierFlags other) const { return ModifierFlags(m_rawValue ^ other.m_rawValue); }
    constexpr ModifierFlags subtracting(ModifierFlags other) const { return ModifierFlags(m_rawValue & ~other.m_rawValue); }

    void insert(ModifierFlags member) { m_rawValue |= member.m_rawValue; }
    void remove(ModifierFlags member) { m_rawValue &= ~member.m_rawValue; }

    // "ModifierFlags(rawValue: 3)"
    QString logDescription() const;

    friend constexpr bool operator==(ModifierFlags, ModifierFlags) = default;

private:
    quint64 m_rawValue = 0;
};
