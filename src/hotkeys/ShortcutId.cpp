#include "hotkeys/ShortcutId.h"

#include <QHash>

namespace {
const QHash<int, quint32> &keyCodeTable()
{
    static const QHash<int, quint32> table{
        {Qt::Key_A, 0}, {Qt::Key_S, 1}, {Qt::Key_D, 2}, {Qt::Key_F, 3}, {Qt::Key_H, 4}, {Qt::Key_G, 5},
        {Qt::Key_Z, 6}, {Qt::Key_X, 7}, {Qt::Key_C, 8}, {Qt::Key_V, 9}, {Qt::Key_B, 11}, {Qt::Key_Q, 12},
        {Qt::Key_W, 13}, {Qt::Key_E, 14}, {Qt::Key_R, 15}, {Qt::Key_Y, 16}, {Qt::Key_T, 17}, {Qt::Key_O, 31},
        {Qt::Key_U, 32}, {Qt::Key_I, 34}, {Qt::Key_P, 35}, {Qt::Key_L, 37}, {Qt::Key_J, 38}, {Qt::Key_K, 40},
        {Qt::Key_N, 45}, {Qt::Key_M, 46},
        {Qt::Key_1, 18}, {Qt::Key_2, 19}, {Qt::Key_3, 20}, {Qt::Key_4, 21}, {Qt::Key_6, 22}, {Qt::Key_5, 23},
        {Qt::Key_9, 25}, {Qt::Key_7, 26}, {Qt::Key_8, 28}, {Qt::Key_0, 29},
        {Qt::Key_F1, 122}, {Qt::Key_F2, 120}, {Qt::Key_F3, 99}, {Qt::Key_F4, 118}, {Qt::Key_F5, 96},
        {Qt::Key_F6, 97}, {Qt::Key_F7, 98}, {Qt::Key_F8, 100}, {Qt::Key_F9, 101}, {Qt::Key_F10, 109},
        {Qt::Key_F11, 103}, {Qt::Key_F12, 111},
        {Qt::Key_Space, 49}, {Qt::Key_Return, 36}, {Qt::Key_Tab, 48}, {Qt::Key_Escape, 53},
        {Qt::Key_Left, 123}, {Qt::Key_Right, 124}, {Qt::Key_Down, 125}, {Qt::Key_Up, 126},
        // punctuation by its place on the US layout; "+" shares the "=" key
        {Qt::Key_Plus, 24}, {Qt::Key_Equal, 24}, {Qt::Key_Minus, 27}, {Qt::Key_BracketRight, 30},
        {Qt::Key_BracketLeft, 33}, {Qt::Key_Apostrophe, 39}, {Qt::Key_Semicolon, 41}, {Qt::Key_Backslash, 42},
        {Qt::Key_Comma, 43}, {Qt::Key_Slash, 44}, {Qt::Key_Period, 47}, {Qt::Key_QuoteLeft, 50},
        // what Shift types on those keys there
        {Qt::Key_Exclam, 18}, {Qt::Key_At, 19}, {Qt::Key_NumberSign, 20}, {Qt::Key_Dollar, 21},
        {Qt::Key_AsciiCircum, 22}, {Qt::Key_Percent, 23}, {Qt::Key_ParenLeft, 25}, {Qt::Key_Ampersand, 26},
        {Qt::Key_Asterisk, 28}, {Qt::Key_ParenRight, 29}, {Qt::Key_Underscore, 27}, {Qt::Key_BraceRight, 30},
        {Qt::Key_BraceLeft, 33}, {Qt::Key_QuoteDbl, 39}, {Qt::Key_Colon, 41}, {Qt::Key_Bar, 42},
        {Qt::Key_Less, 43}, {Qt::Key_Question, 44}, {Qt::Key_Greater, 47}, {Qt::Key_AsciiTilde, 50},
    };
    return table;
}
} // namespace

std::optional<quint32> ShortcutId::keyCode(Qt::Key key)
{
    const auto found = keyCodeTable().constFind(key);
    if (found == keyCodeTable().constEnd())
        return std::nullopt;
    return *found;
}

quint32 ShortcutId::modifierMask(Qt::KeyboardModifiers modifiers)
{
    quint32 mask = 0;
    if (modifiers & Qt::MetaModifier)
        mask |= 0x0100;
    if (modifiers & Qt::ShiftModifier)
        mask |= 0x0200;
    if (modifiers & Qt::AltModifier)
        mask |= 0x0800;
    if (modifiers & Qt::ControlModifier)
        mask |= 0x1000;
    return mask;
}

QString ShortcutId::of(QKeyCombination combination)
{
    const std::optional<quint32> code = keyCode(combination.key());
    if (!code)
        return {};
    return QStringLiteral("%1_%2_%3").arg(*code).arg(modifierMask(combination.keyboardModifiers())).arg(signature);
}

QList<qsizetype> ShortcutId::owners(const QList<QKeyCombination> &combinations)
{
    QHash<QString, qsizetype> last;
    for (qsizetype i = 0; i < combinations.size(); ++i)
        last.insert(of(combinations.at(i)), i);
    QList<qsizetype> owners;
    for (const QKeyCombination combination : combinations)
        owners.append(last.value(of(combination)));
    return owners;
}
