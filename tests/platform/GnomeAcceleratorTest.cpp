#include "QtPrinters.h"
#include "platform/gnome/GnomeAccelerator.h"

#include <gtest/gtest.h>

namespace {
struct Translation {
    QKeyCombination combination;
    const char *accelerator;
    const char *shown;
};

class GnomeAcceleratorTranslation : public ::testing::TestWithParam<Translation> {};

TEST_P(GnomeAcceleratorTranslation, WritesGtkSyntaxAndShowsAsGnomeDoes)
{
    const Translation &row = GetParam();
    EXPECT_EQ(GnomeAccelerator::fromCombination(row.combination), QLatin1String(row.accelerator));
    EXPECT_EQ(GnomeAccelerator::displayText(row.combination), QString::fromUtf8(row.shown));
    // What is written reads back as the same combination.
    EXPECT_TRUE(GnomeAccelerator::means(QLatin1String(row.accelerator), row.combination)) << row.accelerator;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, GnomeAcceleratorTranslation,
    ::testing::Values(
        // every modifier, in GTK's order; Super first as GNOME shows it
        Translation{Qt::MetaModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier | Qt::Key_K,
                    "<Control><Shift><Alt><Super>k", "Super+Ctrl+Shift+Alt+K"},
        Translation{Qt::MetaModifier | Qt::AltModifier | Qt::Key_F, "<Alt><Super>f", "Super+Alt+F"},
        // punctuation by keysym name, named keys, no modifier
        Translation{Qt::AltModifier | Qt::Key_Comma, "<Alt>comma", "Alt+,"},
        Translation{Qt::MetaModifier | Qt::Key_BracketLeft, "<Super>bracketleft", "Super+["},
        Translation{Qt::MetaModifier | Qt::Key_Space, "<Super>space", "Super+Space"},
        Translation{Qt::AltModifier | Qt::Key_Return, "<Alt>Return", "Alt+Return"},
        Translation{QKeyCombination(Qt::Key_F9), "F9", "F9"},
        // a keypad flag is no modifier GNOME binds: never written
        Translation{Qt::MetaModifier | Qt::KeypadModifier | Qt::Key_1, "<Super>1", "Super+1"}));

TEST(GnomeAcceleratorTest, AKeyWithoutKeysymHasNoAccelerator)
{
    EXPECT_EQ(GnomeAccelerator::fromCombination(Qt::MetaModifier | Qt::Key_Launch0), QString());
    EXPECT_FALSE(GnomeAccelerator::means(QStringLiteral("<Super>Launch0"), Qt::MetaModifier | Qt::Key_Launch0));
}

struct Reading {
    const char *accelerator;
    QKeyCombination combination;
    bool means;
};

class GnomeAcceleratorReading : public ::testing::TestWithParam<Reading> {};

TEST_P(GnomeAcceleratorReading, ReadsGnomesStoredSpellings)
{
    const Reading &row = GetParam();
    EXPECT_EQ(GnomeAccelerator::means(QLatin1String(row.accelerator), row.combination), row.means) << row.accelerator;
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, GnomeAcceleratorReading,
    ::testing::Values(Reading{"<Super>a", Qt::MetaModifier | Qt::Key_A, true},
                      Reading{"<Super>A", Qt::MetaModifier | Qt::Key_A, true},
                      Reading{"<super>a", Qt::MetaModifier | Qt::Key_A, true},
                      Reading{"<Primary><Alt>t", Qt::ControlModifier | Qt::AltModifier | Qt::Key_T, true},
                      Reading{"<Ctrl><Mod1>t", Qt::ControlModifier | Qt::AltModifier | Qt::Key_T, true},
                      // GNOME skips a word it does not know: a bare F12 grab
                      Reading{"<Win>F12", QKeyCombination(Qt::Key_F12), true},
                      // a modifier more or less, another key, a lock modifier
                      Reading{"<Super>a", Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_A, false},
                      Reading{"<Super><Shift>a", Qt::MetaModifier | Qt::Key_A, false},
                      Reading{"<Super>b", Qt::MetaModifier | Qt::Key_A, false},
                      Reading{"a", Qt::MetaModifier | Qt::Key_A, false},
                      Reading{"<Mod2><Super>a", Qt::MetaModifier | Qt::Key_A, false},
                      // GNOME's placeholders and broken text
                      Reading{"", Qt::MetaModifier | Qt::Key_A, false},
                      Reading{"<Super>", Qt::MetaModifier | Qt::Key_A, false},
                      Reading{"<Super>Above_Tab", Qt::MetaModifier | Qt::Key_A, false},
                      Reading{"<Super a", Qt::MetaModifier | Qt::Key_A, false}));
} // namespace
