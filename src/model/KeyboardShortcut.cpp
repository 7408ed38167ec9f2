#include "model/KeyboardShortcut.h"

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

struct NamedKey {
    const char16_t *name; // lower case
    Qt::Key key;
};

constexpr NamedKey namedKeys[] = {
    {u"space", Qt::Key_Space},   {u" ", Qt::Key_Space},     {u"return", Qt::Key_Return},
    {u"\r", Qt::Key_Return},     {u"tab", Qt::Key_Tab},     {u"\t", Qt::Key_Tab},
    {u"escape", Qt::Key_Escape}, {u"\x1b", Qt::Key_Escape}, {u"left", Qt::Key_Left},
    {u"right", Qt::Key_Right},   {u"up", Qt::Key_Up},       {u"down", Qt::Key_Down},
    {u"plus", Qt::Key_Plus},
};

// The text a recorded key is stored under, for keys that type nothing visible.
QString nameOf(int key)
{
    switch (key) {
    case Qt::Key_Space: return QStringLiteral("Space");
    case Qt::Key_Plus: return QStringLiteral("Plus");
    case Qt::Key_Escape: return QStringLiteral("Escape");
    case Qt::Key_Return:
    case Qt::Key_Enter: return QStringLiteral("Return");
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return QStringLiteral("Tab");
    case Qt::Key_Left: return QStringLiteral("Left");
    case Qt::Key_Right: return QStringLiteral("Right");
    case Qt::Key_Up: return QStringLiteral("Up");
    case Qt::Key_Down: return QStringLiteral("Down");
    default: break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    return {};
}

std::optional<Qt::Key> keyNamed(const QString &lowerCased)
{
    for (const NamedKey &named : namedKeys) {
        if (lowerCased == QStringView(named.name))
            return named.key;
    }
    if (lowerCased.size() >= 2 && lowerCased.size() <= 3 && lowerCased.startsWith(u'f')) {
        bool ok = false;
        const int n = QStringView(lowerCased).mid(1).toInt(&ok);
        if (ok && n >= 1 && n <= 12 && lowerCased.at(1) != u'0')
            return Qt::Key(Qt::Key_F1 + n - 1);
    }
    // Qt names a printable ASCII key by its upper-case character.
    if (lowerCased.size() == 1 && lowerCased.front().unicode() > 0x20 && lowerCased.front().unicode() < 0x7f)
        return Qt::Key(lowerCased.front().toUpper().unicode());
    return std::nullopt;
}

// The text form's glyphs and words: "cmd"/"command" are Super, "opt"/"option" Alt.
std::optional<ModifierFlags> modifierNamed(const QString &lowerCased)
{
    if (lowerCased == u"⌘" || lowerCased == u"cmd" || lowerCased == u"command")
        return ModifierFlags::super;
    if (lowerCased == u"⌥" || lowerCased == u"opt" || lowerCased == u"option")
        return ModifierFlags::alt;
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
    if (modifiers.contains(ModifierFlags::super))
        parts << QStringLiteral("⌘");
    if (modifiers.contains(ModifierFlags::alt))
        parts << QStringLiteral("⌥");
    if (modifiers.contains(ModifierFlags::shift))
        parts << QStringLiteral("⇧");
    if (modifiers.contains(ModifierFlags::control))
        parts << QStringLiteral("⌃");
    parts << key.toUpper();
    return parts.join(QStringLiteral(" + "));
}

std::optional<QKeyCombination> KeyboardShortcut::keyCombination() const
{
    const std::optional<Qt::Key> qtKey = keyNamed(key.toLower());
    if (!qtKey)
        return std::nullopt;
    Qt::KeyboardModifiers qtModifiers;
    if (modifiers.contains(ModifierFlags::super))
        qtModifiers |= Qt::MetaModifier;
    if (modifiers.contains(ModifierFlags::alt))
        qtModifiers |= Qt::AltModifier;
    if (modifiers.contains(ModifierFlags::shift))
        qtModifiers |= Qt::ShiftModifier;
    if (modifiers.contains(ModifierFlags::control))
        qtModifiers |= Qt::ControlModifier;
    return QKeyCombination(qtModifiers, *qtKey);
}

KeyboardShortcut KeyboardShortcut::fromKeyCombination(QKeyCombination combination)
{
    KeyboardShortcut shortcut;
    shortcut.modifiers = ModifierFlags::fromEventFlags(combination.keyboardModifiers());
    const int key = combination.key();
    shortcut.key = nameOf(key);
    // Qt gives characters as their code point, letters in upper case; the
    // key text has a letter's case as typed.
    if (shortcut.key.isEmpty() && key > 0x20 && key <= 0xff && key != 0x7f && QChar(key).isPrint()) {
        const QChar character(key);
        shortcut.key = shortcut.modifiers.contains(ModifierFlags::shift) ? character.toUpper() : character.toLower();
    }
    return shortcut;
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
