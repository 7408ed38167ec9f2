#include "model/KeyboardShortcut.h"

#include <gtest/gtest.h>

namespace {
struct ParseCase {
    const char *text;
    const char *key;
    quint64 modifiers;
    const char *display;
};

class ParseShortcutText : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseShortcutText, GivesKeyModifiersAndDisplayText)
{
    const ParseCase &c = GetParam();
    const KeyboardShortcut shortcut = parseShortcutText(QString::fromUtf8(c.text));
    EXPECT_EQ(shortcut.key, QString::fromUtf8(c.key));
    EXPECT_EQ(shortcut.modifiers.rawValue(), c.modifiers);
    EXPECT_EQ(shortcut.displayString(), QString::fromUtf8(c.display));
}

INSTANTIATE_TEST_SUITE_P(Shortcuts, ParseShortcutText, ::testing::Values(
    ParseCase{"⌘ + ⌥ + F", "F", 3, "⌘ + ⌥ + F"},
    ParseCase{"cmd+shift+k", "k", 5, "⌘ + ⇧ + K"},
    ParseCase{" Ctrl + Option + x ", "x", 10, "⌥ + ⌃ + X"},
    ParseCase{"CMD+Shift+K", "K", 5, "⌘ + ⇧ + K"},
    ParseCase{"", "", 0, ""},
    ParseCase{"cmd", "", 1, ""},
    ParseCase{"cmd+", "", 1, ""},
    ParseCase{"a+b", "b", 0, "B"},
    ParseCase{"k+hyper", "hyper", 0, "HYPER"},
    ParseCase{"⌘⌥+K", "K", 0, "K"},
    ParseCase{"⌘1", "⌘1", 0, "⌘1"},
    ParseCase{"cmd+command+k", "k", 1, "⌘ + K"},
    ParseCase{"cmd++", "", 1, ""},
    ParseCase{"⌃ + ⇧ + ⌥ + ⌘ + Space", "Space", 15, "⌘ + ⌥ + ⇧ + ⌃ + SPACE"},
    // tab and no-break space (Zs) are trimmed, a line break is not
    ParseCase{"\tctrl\u00a0+\u3000q", "q", 8, "⌃ + Q"},
    ParseCase{"ctrl+\nq", "\nq", 8, "⌃ + \nQ"},
    ParseCase{"opt+é", "é", 2, "⌥ + É"},
    ParseCase{"ß", "ß", 0, "SS"}));

TEST(KeyboardShortcutValue, ComparesKeysUnderCanonicalEquivalenceAndCase)
{
    const QString composed = QStringLiteral("\u00e9");
    const QString decomposed = QStringLiteral("e\u0301");
    EXPECT_EQ((KeyboardShortcut{composed, ModifierFlags::super}), (KeyboardShortcut{decomposed, ModifierFlags::super}));
    EXPECT_NE((KeyboardShortcut{"k", {}}), (KeyboardShortcut{"K", {}}));
    EXPECT_NE((KeyboardShortcut{"k", ModifierFlags::super}), (KeyboardShortcut{"k", ModifierFlags::alt}));
}

TEST(ShortcutKeyCombination, KnowsLettersDigitsNamedKeysAndPunctuationOnly)
{
    const std::pair<const char16_t *, Qt::Key> known[] = {
        {u"F", Qt::Key_F}, {u"f", Qt::Key_F}, {u"1", Qt::Key_1}, {u"f12", Qt::Key_F12}, {u"SPACE", Qt::Key_Space},
        {u" ", Qt::Key_Space}, {u"\r", Qt::Key_Return}, {u"\x1b", Qt::Key_Escape}, {u"Left", Qt::Key_Left},
        {u"plus", Qt::Key_Plus}, {u",", Qt::Key_Comma}, {u"~", Qt::Key_AsciiTilde},
        // a recorded Shift combination names the shifted character
        {u"!", Qt::Key_Exclam}, {u"?", Qt::Key_Question}};
    for (const auto &[key, qtKey] : known) {
        const KeyboardShortcut shortcut{QString::fromUtf16(key), {}};
        EXPECT_EQ(shortcut.keyCombination(), QKeyCombination(qtKey)) << QString::fromUtf16(key).toStdString();
    }
    for (const char16_t *key : {u"", u"ab", u"hyper", u"⌘1", u"F13", u"F0", u"F01", u"é", u"\x7f"})
        EXPECT_FALSE(KeyboardShortcut({QString::fromUtf16(key), {}}).keyCombination()) << QString::fromUtf16(key).toStdString();
}

TEST(ShortcutKeyCombination, ARecordedPressBecomesTheTextItIsStoredAs)
{
    const std::pair<QKeyCombination, const char *> recorded[] = {
        {Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_M, "⌘ + ⇧ + M"},
        {Qt::ControlModifier | Qt::Key_Enter, "⌃ + RETURN"},
        {Qt::ShiftModifier | Qt::Key_Backtab, "⇧ + TAB"},
        {Qt::ShiftModifier | Qt::Key_Exclam, "⇧ + !"},
        {Qt::AltModifier | Qt::Key_F5, "⌥ + F5"},
        {Qt::MetaModifier | Qt::KeypadModifier | Qt::Key_7, "⌘ + 7"},
        {QKeyCombination(Qt::Key_Eacute), "É"},
        {QKeyCombination(Qt::Key_unknown), ""},
        {Qt::ShiftModifier | Qt::Key_Shift, ""},
    };
    for (const auto &[combination, text] : recorded)
        EXPECT_EQ(KeyboardShortcut::fromKeyCombination(combination).displayString(), QString::fromUtf8(text)) << text;
}
} // namespace
