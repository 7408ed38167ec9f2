#include "KeyCodes.h"
#include "KeyboardShortcut.h"

#include <QJsonDocument>

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

// That the display text parses back to the same shortcut is checked by the shortcut text fuzzer.
TEST(ShortcutTextForm, PlusAndSpaceCharactersDoNotSurviveTheTextForm)
{
    EXPECT_EQ(parseShortcutText(KeyboardShortcut{"+", ModifierFlags::shift}.displayString()),
              (KeyboardShortcut{"", ModifierFlags::shift}));
    EXPECT_EQ(parseShortcutText(KeyboardShortcut{" ", ModifierFlags::command}.displayString()),
              (KeyboardShortcut{"", ModifierFlags::command}));
}

TEST(KeyboardShortcutValue, ComparesKeysUnderCanonicalEquivalenceAndCase)
{
    const QString composed = QStringLiteral("\u00e9");
    const QString decomposed = QStringLiteral("e\u0301");
    EXPECT_EQ((KeyboardShortcut{composed, ModifierFlags::command}), (KeyboardShortcut{decomposed, ModifierFlags::command}));
    EXPECT_NE((KeyboardShortcut{"k", {}}), (KeyboardShortcut{"K", {}}));
    EXPECT_NE((KeyboardShortcut{"k", ModifierFlags::command}), (KeyboardShortcut{"k", ModifierFlags::option}));
}

TEST(KeyboardShortcutValue, JsonHasKeyAndModifiersAndRequiresBoth)
{
    const auto decoded = KeyboardShortcut::fromJson(
        QJsonDocument::fromJson(R"({"key":"k","modifiers":5,"extra":true})").object());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, (KeyboardShortcut{"k", ModifierFlags({ModifierFlags::command, ModifierFlags::shift})}));
    EXPECT_EQ(QJsonDocument(decoded->toJson()).toJson(QJsonDocument::Compact), QByteArray(R"({"key":"k","modifiers":5})"));

    for (const char *bad : {R"({"key":"k"})", R"({"modifiers":5})", R"({"key":1,"modifiers":5})", R"({"key":"k","modifiers":-1})"})
        EXPECT_FALSE(KeyboardShortcut::fromJson(QJsonDocument::fromJson(bad).object())) << bad;
}

TEST(ModifierFlagsSet, KeepsRawBitsAndReadsEventModifiers)
{
    EXPECT_EQ(ModifierFlags(0xF0).united(ModifierFlags::shift).rawValue(), 0xF4u) << "unknown bits are kept";
    EXPECT_EQ(ModifierFlags::fromEventFlags(Qt::MetaModifier | Qt::AltModifier | Qt::ShiftModifier).rawValue(), 7u);
    EXPECT_EQ(ModifierFlags::fromEventFlags(Qt::ControlModifier).rawValue(), 8u);
    EXPECT_TRUE(ModifierFlags::fromEventFlags(Qt::KeypadModifier | Qt::GroupSwitchModifier).isEmpty());
}

TEST(KeyCodeTable, KnowsLettersDigitsNamedKeysAndPunctuationOnly)
{
    const std::pair<const char16_t *, quint32> known[] = {
        {u"F", 3}, {u"f", 3}, {u"K", 40}, {u"1", 18}, {u"f12", 111}, {u"SPACE", 49}, {u"\r", 36}, {u"Left", 123}, {u",", 43},
        // a recorded Shift combination names the shifted character
        {u"!", 18}, {u"?", 44}};
    for (const auto &[key, code] : known)
        EXPECT_EQ(keyCode(key), code) << QString::fromUtf16(key).toStdString();
    for (const char16_t *key : {u"", u"ab", u"hyper", u"⌘1", u"F13", u"é"})
        EXPECT_FALSE(keyCode(key).has_value()) << QString::fromUtf16(key).toStdString();
}
} // namespace
