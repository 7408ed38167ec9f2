#pragma once

#include <QString>
#include <Qt>

// The modifier keys held with a shortcut's key, as bits of the raw value the
// button file stores (Super 1, Alt 2, Shift 4, Ctrl 8). Construction from a
// raw value keeps every bit of it.
class ModifierFlags {
public:
    static const ModifierFlags super;
    static const ModifierFlags alt;
    static const ModifierFlags shift;
    static const ModifierFlags control;

    constexpr ModifierFlags() = default;
    constexpr explicit ModifierFlags(quint64 rawValue) : m_rawValue(rawValue) {}

    // The Super (Qt's Meta), Alt, Shift and Ctrl of a key event; every other
    // bit is dropped.
    static ModifierFlags fromEventFlags(Qt::KeyboardModifiers eventFlags);

    constexpr quint64 rawValue() const { return m_rawValue; }
    constexpr bool contains(ModifierFlags member) const { return (m_rawValue & member.m_rawValue) == member.m_rawValue; }
    void insert(ModifierFlags member) { m_rawValue |= member.m_rawValue; }

    // "ModifierFlags(rawValue: 3)"
    QString logDescription() const;

    friend constexpr bool operator==(ModifierFlags, ModifierFlags) = default;

private:
    quint64 m_rawValue = 0;
};
