#include "EventLoopWait.h"
#include "LatestPressTime.h"
#include "LogCapture.h"
#include "SharedXvfb.h"
#include "XTestKeyboard.h"
#include "x11/X11Connection.h"
#include "x11/X11HotkeyService.h"

#include <QList>

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

#include <memory>

namespace {
constexpr quint32 signature = 1447973964; // "VNTL"
constexpr quint32 superAlt = HotkeyModifier::command | HotkeyModifier::option;
constexpr uint16_t xSuperAlt = XCB_MOD_MASK_4 | XCB_MOD_MASK_1;
constexpr quint32 keyF = 3;
constexpr quint32 keyG = 5;

HotkeyIdentity identity(quint32 keyCode, quint32 mask)
{
    return HotkeyIdentity{signature, keyCode, mask};
}
} // namespace

class X11HotkeyServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
        keyboard = std::make_unique<XTestKeyboard>();
        ASSERT_TRUE(keyboard->isOpen());
        latestPress = std::make_shared<LatestPressTime>();
        service = std::make_unique<X11HotkeyService>(std::make_shared<X11Connection>(), latestPress);
        ASSERT_TRUE(service->isConnected());
        service->installPressHandler([this](const HotkeyPress &press) {
            presses.append(press);
            return 0;
        });
    }

    // A failed test must not leave a lock on for the next one.
    void TearDown() override
    {
        if (!keyboard)
            return;
        if (keyboard->modifierState() & XCB_MOD_MASK_LOCK)
            keyboard->tap(key(XK_Caps_Lock));
        if (keyboard->modifierState() & XCB_MOD_MASK_2)
            keyboard->tap(key(XK_Num_Lock));
    }

    std::optional<HotkeyHandle> registerKey(quint32 keyCode, quint32 mask)
    {
        return service->registerHotkey(keyCode, mask, identity(keyCode, mask));
    }

    bool waitForPresses(qsizetype count)
    {
        return runEventLoopUntil([&] { return presses.size() >= count; });
    }

    HotkeyIdentity identityOfPress(qsizetype index) const
    {
        return service->identityOf(presses.at(index));
    }

    uint8_t key(uint32_t keysym) const { return keyboard->keycodeOf(keysym); }

    std::unique_ptr<XTestKeyboard> keyboard;
    std::shared_ptr<LatestPressTime> latestPress;
    std::unique_ptr<X11HotkeyService> service;
    QList<HotkeyPress> presses;
};

TEST_F(X11HotkeyServiceTest, PressReachesTheHandlerWithItsIdentityAndTime)
{
    ASSERT_TRUE(registerKey(keyF, superAlt));

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));

    ASSERT_TRUE(waitForPresses(1));
    EXPECT_EQ(identityOfPress(0), identity(keyF, superAlt));
    EXPECT_NE(presses.at(0).timestamp, 0u);
    EXPECT_EQ(latestPress->get(), presses.at(0).timestamp);
}

TEST_F(X11HotkeyServiceTest, TwoRegistrationsOnOneLetterWithDifferentModifiersBothFire)
{
    ASSERT_TRUE(registerKey(keyF, HotkeyModifier::control));
    ASSERT_TRUE(registerKey(keyF, superAlt));

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    keyboard->press({XK_Control_L}, key(XK_f));

    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(identityOfPress(0), identity(keyF, superAlt));
    EXPECT_EQ(identityOfPress(1), identity(keyF, HotkeyModifier::control));
}

TEST_F(X11HotkeyServiceTest, EveryModifierMapsToItsKey)
{
    ASSERT_TRUE(registerKey(keyF, HotkeyModifier::shift | HotkeyModifier::control));
    ASSERT_TRUE(registerKey(keyG, HotkeyModifier::command));

    keyboard->press({XK_Shift_L, XK_Control_L}, key(XK_f));
    keyboard->press({XK_Super_L}, key(XK_g));

    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(identityOfPress(0), identity(keyF, HotkeyModifier::shift | HotkeyModifier::control));
    EXPECT_EQ(identityOfPress(1), identity(keyG, HotkeyModifier::command));
}

TEST_F(X11HotkeyServiceTest, PressWithOtherModifiersDoesNotFire)
{
    ASSERT_TRUE(registerKey(keyF, superAlt));

    keyboard->press({XK_Alt_L}, key(XK_f));
    keyboard->press({XK_Super_L, XK_Alt_L, XK_Shift_L}, key(XK_f));
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f)); // arrives after the others

    ASSERT_TRUE(waitForPresses(1));
    runEventLoopFor(100);
    EXPECT_EQ(presses.size(), 1);
}

TEST_F(X11HotkeyServiceTest, NumLockAndCapsLockDoNotStopAHotkey)
{
    ASSERT_TRUE(registerKey(keyF, superAlt));
    const uint16_t numLock = XCB_MOD_MASK_2; // Xvfb's modifier map

    keyboard->tap(key(XK_Num_Lock));
    ASSERT_TRUE(keyboard->modifierState() & numLock);
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    ASSERT_TRUE(waitForPresses(1));

    keyboard->tap(key(XK_Caps_Lock));
    ASSERT_TRUE(keyboard->modifierState() & XCB_MOD_MASK_LOCK);
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    ASSERT_TRUE(waitForPresses(2));

    keyboard->tap(key(XK_Num_Lock));
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    ASSERT_TRUE(waitForPresses(3));

    keyboard->tap(key(XK_Caps_Lock));
    EXPECT_EQ(keyboard->modifierState() & (numLock | XCB_MOD_MASK_LOCK), 0);
    for (qsizetype i = 0; i < presses.size(); ++i)
        EXPECT_EQ(identityOfPress(i), identity(keyF, superAlt));
}

TEST_F(X11HotkeyServiceTest, CombinationHeldByAnotherClientFailsForThatRegistrationOnly)
{
    LogCapture log;
    XTestKeyboard otherProgram;
    ASSERT_TRUE(otherProgram.grab(xSuperAlt, key(XK_g)));

    EXPECT_FALSE(registerKey(keyG, superAlt));
    ASSERT_TRUE(registerKey(keyF, superAlt));

    EXPECT_TRUE(log.contains(QStringLiteral("X11: Super+Alt+G is held by another program")));
    // The lock variants grabbed before the refusal were given back.
    EXPECT_TRUE(keyboard->grab(xSuperAlt | XCB_MOD_MASK_LOCK, key(XK_g)));
    keyboard->ungrab(xSuperAlt | XCB_MOD_MASK_LOCK, key(XK_g));

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    ASSERT_TRUE(waitForPresses(1));
    EXPECT_EQ(identityOfPress(0), identity(keyF, superAlt));
}

TEST_F(X11HotkeyServiceTest, SameCombinationTwiceIsRefusedAndTheFirstKeepsWorking)
{
    ASSERT_TRUE(registerKey(keyF, superAlt));
    EXPECT_FALSE(service->registerHotkey(keyF, superAlt, identity(99, superAlt)));

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    ASSERT_TRUE(waitForPresses(1));
    EXPECT_EQ(identityOfPress(0), identity(keyF, superAlt));
}

TEST_F(X11HotkeyServiceTest, AfterUnregisteringAPressDoesNothing)
{
    const std::optional<HotkeyHandle> f = registerKey(keyF, superAlt);
    ASSERT_TRUE(f);
    ASSERT_TRUE(registerKey(keyG, superAlt));
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    ASSERT_TRUE(waitForPresses(1));

    service->unregisterHotkey(*f);
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_g)); // arrives after the F press would have

    ASSERT_TRUE(waitForPresses(2));
    runEventLoopFor(100);
    ASSERT_EQ(presses.size(), 2);
    EXPECT_EQ(identityOfPress(1), identity(keyG, superAlt));
    EXPECT_EQ(identityOfPress(0), HotkeyIdentity{}); // no longer one of ours
    // The combination is free for other programs again.
    EXPECT_TRUE(keyboard->grab(xSuperAlt, key(XK_f)));
    keyboard->ungrab(xSuperAlt, key(XK_f));
}

TEST_F(X11HotkeyServiceTest, DigitsFunctionKeysAndNamedKeysFire)
{
    struct Case {
        quint32 keyCode;
        uint32_t keysym;
    };
    const Case cases[] = {{18, XK_1}, {22, XK_6}, {23, XK_5}, {29, XK_0}, {122, XK_F1},
                          {111, XK_F12}, {49, XK_space}, {36, XK_Return}, {53, XK_Escape},
                          {123, XK_Left}, {126, XK_Up}, {50, XK_grave}, {24, XK_equal}};
    for (const Case &c : cases)
        ASSERT_TRUE(registerKey(c.keyCode, HotkeyModifier::control)) << c.keyCode;

    for (const Case &c : cases)
        keyboard->press({XK_Control_L}, key(c.keysym));

    ASSERT_TRUE(waitForPresses(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(identityOfPress(qsizetype(i)).id, cases[i].keyCode);
}

TEST_F(X11HotkeyServiceTest, KeyCodeWithoutAnX11KeyIsRefused)
{
    LogCapture log;
    EXPECT_FALSE(registerKey(10, superAlt)); // the ISO section key, not in the table
    EXPECT_TRUE(log.contains(QStringLiteral("X11: key code 10 has no X11 key")));
}

TEST_F(X11HotkeyServiceTest, ActivationPolicyChangeKeepsHotkeysWorking)
{
    ASSERT_TRUE(registerKey(keyF, superAlt));
    service->setActivationPolicyAccessory();

    keyboard->press({XK_Super_L, XK_Alt_L}, key(XK_f));
    EXPECT_TRUE(waitForPresses(1));
}

TEST(X11HotkeyServiceWithoutDisplay, RegistrationsFailAndTheReasonIsLoggedOnce)
{
    ASSERT_TRUE(sharedXvfb().isRunning());
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    LogCapture log;
    X11HotkeyService service(std::make_shared<X11Connection>(), std::make_shared<LatestPressTime>());
    const std::optional<HotkeyHandle> handle = service.registerHotkey(keyF, superAlt, identity(keyF, superAlt));
    qputenv("DISPLAY", display);

    EXPECT_FALSE(service.isConnected());
    EXPECT_FALSE(handle);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("X11: global hotkeys unavailable: DISPLAY is not set")});
}
