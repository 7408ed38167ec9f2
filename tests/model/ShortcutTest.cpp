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

TEST(ShortcutTextForm, DisplayTextParsesBackToTheSameShortcut)
{
    for (const char *text : {"cmd+shift+k", "⌃ + F12", "opt+ctrl+Left", "⇧ + Plus", "⌘ + Space"}) {
        const KeyboardShortcut first = parseShortcutText(QString::fromUtf8(text));
        const KeyboardShortcut again = parseShortcutText(first.displayString());
        EXPECT_EQ(again.modifiers, first.modifiers) << text;
        EXPECT_EQ(again.key, first.key.toUpper()) << text;
    }
}

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

    EXPECT_FALSE(KeyboardShortcut::fromJson(QJsonDocument::fromJson(R"({"key":"k"})").object()));
    EXPECT_FALSE(KeyboardShortcut::fromJson(QJsonDocument::fromJson(R"({"modifiers":5})").object()));
    EXPECT_FALSE(KeyboardShortcut::fromJson(QJsonDocument::fromJson(R"({"key":1,"modifiers":5})").object()));
    EXPECT_FALSE(KeyboardShortcut::fromJson(QJsonDocument::fromJson(R"({"key":"k","modifiers":-1})").object()));
}

TEST(ModifierFlagsSet, KeepsRawBitsAndDoesSetAlgebra)
{
    const ModifierFlags commandOption{ModifierFlags::command, ModifierFlags::option};
    EXPECT_EQ(commandOption.rawValue(), 3u);
    EXPECT_EQ(ModifierFlags(0xF0).rawValue(), 0xF0u);
    EXPECT_EQ(commandOption.logDescription(), QStringLiteral("ModifierFlags(rawValue: 3)"));
    EXPECT_TRUE(ModifierFlags().isEmpty());
    EXPECT_TRUE(ModifierFlags::command.isSubset(commandOption));
    EXPECT_TRUE(commandOption.isSuperset(ModifierFlags::option));
    EXPECT_TRUE(commandOption.isDisjoint(ModifierFlags::shift));
    EXPECT_EQ(commandOption.subtracting(ModifierFlags::command), ModifierFlags::option);
    EXPECT_EQ(commandOption.symmetricDifference(ModifierFlags(6)).rawValue(), 5u);
    EXPECT_EQ(commandOption.intersected(ModifierFlags(6)), ModifierFlags::option);
    ModifierFlags flags;
    flags.insert(ModifierFlags::control);
    flags.insert(ModifierFlags::control);
    EXPECT_EQ(flags.rawValue(), 8u);
    flags.remove(ModifierFlags::control);
    EXPECT_TRUE(flags.isEmpty());
}

TEST(ModifierFlagsSet, FromEventFlagsKeepsOnlyTheFourModifiers)
{
    EXPECT_EQ(ModifierFlags::fromEventFlags(Qt::MetaModifier | Qt::AltModifier | Qt::ShiftModifier).rawValue(), 7u);
    EXPECT_EQ(ModifierFlags::fromEventFlags(Qt::ControlModifier).rawValue(), 8u);
    EXPECT_TRUE(ModifierFlags::fromEventFlags(Qt::KeypadModifier | Qt::GroupSwitchModifier).isEmpty());
}

TEST(KeyCodeTable, LettersKeepTheirAnsiCodesInEitherCase)
{
    EXPECT_EQ(keyCode(u"F"), 3u);
    EXPECT_EQ(keyCode(u"f"), 3u);
    EXPECT_EQ(keyCode(u"K"), 40u);
    EXPECT_EQ(keyCode(u"a"), 0u);
    EXPECT_EQ(keyCode(u"z"), 6u);
    EXPECT_EQ(keyCode(u"m"), 46u);
}

TEST(KeyCodeTable, DigitsAndNamedKeysHaveTheirOwnCodes)
{
    EXPECT_EQ(keyCode(u"1"), 18u);
    EXPECT_EQ(keyCode(u"0"), 29u);
    EXPECT_EQ(keyCode(u"F1"), 122u);
    EXPECT_EQ(keyCode(u"f12"), 111u);
    EXPECT_EQ(keyCode(u"SPACE"), 49u);
    EXPECT_EQ(keyCode(u"Return"), 36u);
    EXPECT_EQ(keyCode(u"\r"), 36u);
    EXPECT_EQ(keyCode(u"tab"), 48u);
    EXPECT_EQ(keyCode(u"\x1b"), 53u);
    EXPECT_EQ(keyCode(u"Escape"), 53u);
    EXPECT_EQ(keyCode(u"Left"), 123u);
    EXPECT_EQ(keyCode(u"UP"), 126u);
    EXPECT_EQ(keyCode(u"Plus"), 24u);
    EXPECT_EQ(keyCode(u","), 43u);
    // a recorded Shift combination names the shifted character
    EXPECT_EQ(keyCode(u"!"), keyCode(u"1"));
    EXPECT_EQ(keyCode(u"?"), keyCode(u"/"));
}

TEST(KeyCodeTable, UnknownKeysHaveNoCode)
{
    for (const char16_t *key : {u"", u"ab", u"hyper", u"⌘1", u"F13", u"é"})
        EXPECT_FALSE(keyCode(key).has_value()) << QString::fromUtf16(key).toStdString();
}
} // namespace
