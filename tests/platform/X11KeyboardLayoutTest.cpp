#include "EventLoopWait.h"
#include "LatestPressTime.h"
#include "SharedXvfb.h"
#include "XTestKeyboard.h"
#include "x11/X11Connection.h"
#include "x11/X11HotkeyService.h"

#include <QList>
#include <QProcess>

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#define XK_CYRILLIC
#include <X11/keysymdef.h>

#include <memory>

namespace {
constexpr quint32 signature = 1447973964; // "VNTL"
constexpr quint32 superAlt = HotkeyModifier::command | HotkeyModifier::option;
constexpr quint32 keyF = 3;
constexpr quint32 keyZ = 6;
constexpr quint32 keyG = 5;
constexpr uint8_t usPositionOfF = 41;
constexpr uint8_t usPositionOfZ = 52;

bool switchLayout(const QString &layout)
{
    return QProcess::execute(QStringLiteral("setxkbmap"), {layout}) == 0;
}
} // namespace

// Hotkeys across keyboard layout changes, as a user switching layouts or
// a desktop applying its keyboard settings after start-up causes them.
class X11KeyboardLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
        ASSERT_TRUE(switchLayout(QStringLiteral("us")));
        keyboard = std::make_unique<XTestKeyboard>();
        service = std::make_unique<X11HotkeyService>(std::make_shared<X11Connection>(),
                                                     std::make_shared<LatestPressTime>());
        ASSERT_TRUE(service->isConnected());
        service->installPressHandler([this](const HotkeyPress &press) {
            pressed.append(service->identityOf(press).id);
            return 0;
        });
    }

    void TearDown() override { switchLayout(QStringLiteral("us")); }

    bool registerKey(quint32 keyCode, quint32 mask)
    {
        return service->registerHotkey(keyCode, mask, HotkeyIdentity{signature, keyCode, mask}).has_value();
    }

    // The grabs follow a layout change asynchronously: press until the
    // hotkey answers.
    bool pressUntilItFires(std::initializer_list<uint32_t> modifiers, uint8_t keycode)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            keyboard->press(modifiers, keycode);
            if (runEventLoopUntil([&] { return !pressed.isEmpty(); }, 150))
                return true;
        }
        return false;
    }

    std::unique_ptr<XTestKeyboard> keyboard;
    std::unique_ptr<X11HotkeyService> service;
    QList<quint32> pressed;
};

TEST_F(X11KeyboardLayoutTest, SwitchingToACyrillicLayoutKeepsLetterHotkeysOnTheirKeys)
{
    ASSERT_TRUE(registerKey(keyF, superAlt));

    ASSERT_TRUE(switchLayout(QStringLiteral("ru")));
    ASSERT_EQ(keyboard->keycodeOf(XK_f), 0) << "the layout has no Latin f";
    ASSERT_EQ(keyboard->keycodeOf(XK_Cyrillic_a), usPositionOfF);

    ASSERT_TRUE(pressUntilItFires({XK_Super_L, XK_Alt_L}, usPositionOfF));
    EXPECT_EQ(pressed.first(), keyF);
}

TEST_F(X11KeyboardLayoutTest, RegisteringUnderACyrillicLayoutUsesTheUsPosition)
{
    ASSERT_TRUE(switchLayout(QStringLiteral("ru")));
    runEventLoopFor(50);
    ASSERT_TRUE(registerKey(keyF, superAlt));

    ASSERT_TRUE(pressUntilItFires({XK_Super_L, XK_Alt_L}, usPositionOfF));
    EXPECT_EQ(pressed.first(), keyF);
}

TEST_F(X11KeyboardLayoutTest, ALetterThatMovesWithTheLayoutIsFollowed)
{
    ASSERT_TRUE(registerKey(keyZ, HotkeyModifier::control));
    ASSERT_TRUE(registerKey(keyG, HotkeyModifier::control));

    ASSERT_TRUE(switchLayout(QStringLiteral("de"))); // z and y change places
    const uint8_t zInGerman = keyboard->keycodeOf(XK_z);
    ASSERT_NE(zInGerman, usPositionOfZ);

    ASSERT_TRUE(pressUntilItFires({XK_Control_L}, zInGerman));
    pressed.clear();
    keyboard->press({XK_Control_L}, usPositionOfZ); // types y now
    keyboard->press({XK_Control_L}, keyboard->keycodeOf(XK_g));
    ASSERT_TRUE(runEventLoopUntil([&] { return !pressed.isEmpty(); }));
    runEventLoopFor(100);
    EXPECT_EQ(pressed, QList<quint32>{keyG});
}

TEST_F(X11KeyboardLayoutTest, HotkeysStillWorkAfterSwitchingBack)
{
    ASSERT_TRUE(registerKey(keyZ, HotkeyModifier::control));
    ASSERT_TRUE(switchLayout(QStringLiteral("de")));
    ASSERT_TRUE(pressUntilItFires({XK_Control_L}, keyboard->keycodeOf(XK_z)));
    pressed.clear();

    ASSERT_TRUE(switchLayout(QStringLiteral("us")));
    ASSERT_TRUE(pressUntilItFires({XK_Control_L}, usPositionOfZ));
    EXPECT_EQ(pressed.first(), keyZ);
}
