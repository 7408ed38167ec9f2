#include "KeyboardShortcut.h"

#include <QJsonValue>
#include <QStringList>

namespace {
bool isTrimmable(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QStringView trimmed(QStringView piece)
{
    while (!piece.isEmpty() && isTrimmable(piece.front()))
        piece = piece.mid(1);
    while (!piece.isEmpty() && isTrimmable(piece.back()))
        piece.chop(1);
    return piece;
}

std::optional<ModifierFlags> modifierNamed(const QString &lowerCased)
{
    if (lowerCased == u"⌘" || lowerCased == u"cmd" || lowerCased == u"command")
        return ModifierFlags::command;
    if (lowerCased == u"⌥" || lowerCased == u"opt" || lowerCased == u"option")
        return ModifierFlags::option;
    if (lowerCased == u"⇧" || lowerCased == u"shift")
        return ModifierFlags::shift;
    if (lowerCased == u"⌃" || lowerCased == u"ctrl" || lowerCased == u"control")
        return ModifierFlags::control;
    return std::nullopt;
}
} // namespace

KeyboardShortcut parseShortcutText(QStringView text)
{
    KeyboardShortcut shortcut;
    for (QStringView piece : text.split(u'+')) {
        const QStringView name = trimmed(piece);
        // Through upper case first, as the shown key is upper-cased: "optıon"
        // (dotless i) shows as "OPTION" and must already be the modifier here.
        if (const auto modifier = modifierNamed(name.toString().toUpper().toLower()))
            shortcut.modifiers.insert(*modifier);
        else
            shortcut.key = name.toString();
    }
    return shortcut;
}

QString KeyboardShortcut::displayString() const
{
    if (key.isEmpty())
        return {};
    QStringList parts;
    if (modifiers.contains(ModifierFlags::command))
        parts << QStringLiteral("⌘");
    if (modifiers.contains(ModifierFlags::option))
        parts << QStringLiteral("⌥");
    if (modifiers.contains(ModifierFlags::shift))
        parts << QStringLiteral("⇧");
    if (modifiers.contains(ModifierFlags::control))
        parts << QStringLiteral("⌃");
    parts << key.toUpper();
    return parts.join(QStringLiteral(" + "));
}

QJsonObject KeyboardShortcut::toJson() const
{
    return QJsonObject{{QStringLiteral("key"), key},
                       {QStringLiteral("modifiers"), double(modifiers.rawValue())}};
}

std::optional<KeyboardShortcut> KeyboardShortcut::fromJson(const QJsonObject &object)
{
    const QJsonValue key = object.value(QStringLiteral("key"));
    const QJsonValue modifiers = object.value(QStringLiteral("modifiers"));
    if (!key.isString() || !modifiers.isDouble())
        return std::nullopt;
    const double raw = modifiers.toDouble();
    if (raw < 0 || raw != double(quint64(raw)))
        return std::nullopt;
    return KeyboardShortcut{key.toString(), ModifierFlags(quint64(raw))};
}

bool operator==(const KeyboardShortcut &a, const KeyboardShortcut &b)
{
    return a.modifiers == b.modifiers
        && a.key.normalized(QString::NormalizationForm_C) == b.key.normalized(QString::NormalizationForm_C);
}
