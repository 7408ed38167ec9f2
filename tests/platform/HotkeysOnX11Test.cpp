#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "HeadlessSway.h"
#include "LogCapture.h"
#include "RequiredTool.h"
#include "ScopedEnvironment.h"
#include "XTestKeyboard.h"
#include "app/StartupPhase.h"
#include "hotkeys/HotkeyButtons.h"
#include "platform/DesktopServices.h"

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#define XK_CYRILLIC
#include <X11/keysymdef.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <unistd.h>

// The manager and the session's real desktop backends on a private X
// server, driven by key presses as a user makes them.
class HotkeysOnX11 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString(); }

    void startManager(Launcher::WebWindow openWebAddress = {})
    {
        ASSERT_TRUE(home.writeButtonFile());
        const DesktopServices desktop = DesktopServices::forThisSession();
        shortcuts = desktop.shortcuts;
        manager = std::make_unique<HotkeyButtons>(HotkeyButtons::Services{
            desktop.shortcuts, desktop.launcher, openWebAddress, home.path(), {}, desktop.windows, home.path()});
    }

    // Presses until the button's script runs or the attempts are used up.
    bool launches(std::initializer_list<uint32_t> modifiers, uint32_t keysym, const QString &button,
                  int attempts = 1)
    {
        for (int attempt = 0; attempt < attempts; ++attempt) {
            keyboard.press(modifiers, keysym);
            if (runEventLoopUntil([&] { return home.ran(button); }, 3000 / attempts))
                return true;
        }
        return false;
    }

    ButtonHome home;
    XTestKeyboard keyboard;
    std::shared_ptr<GlobalShortcutService> shortcuts;
    std::unique_ptr<HotkeyButtons> manager;
};

TEST_F(HotkeysOnX11, EachButtonLaunchesOnItsOwnCombinationAlsoWithLocksOn)
{
    home.addButton(QStringLiteral("super"), QStringLiteral("⌘ + ⌥ + F"));
    home.addButton(QStringLiteral("control"), QStringLiteral("⌃ + F"));
    startManager();
    // A press carries the X server's time of the key, which the window
    // manager weighs when the launch asks it to bring a window to the front.
    quint64 pressTime = 0;
    QObject::connect(shortcuts.get(), &GlobalShortcutService::activated,
                     [&](const QString &, quint64 time) { pressTime = time; });

    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_f, QStringLiteral("super")));
    EXPECT_NE(pressTime, 0u);
    EXPECT_TRUE(launches({XK_Control_L}, XK_f, QStringLiteral("control")));
    EXPECT_FALSE(home.ran(QStringLiteral("super")));

    const uint16_t capsAndNumLock = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2; // in Xvfb's modifier map
    keyboard.press({}, XK_Caps_Lock);
    keyboard.press({}, XK_Num_Lock);
    EXPECT_EQ(keyboard.modifierState() & capsAndNumLock, capsAndNumLock);
    const bool launchedWithLocks = launches({XK_Super_L, XK_Alt_L}, XK_f, QStringLiteral("super"));
    keyboard.press({}, XK_Caps_Lock);
    keyboard.press({}, XK_Num_Lock);
    EXPECT_TRUE(launchedWithLocks);
}

// With a window of the program focused, Super, Alt and the focus change a
// grab makes reach Qt's connection with the press on ours: the press is
// served before Qt handles a key or focus event (its xcb plugin hands each
// to the native event filters first), other events leave it to the loop.
TEST_F(HotkeysOnX11, APressIsServedBeforeQtHandlesItsOwnKeyOrFocusEvent)
{
    home.addButton(QStringLiteral("super"), QStringLiteral("⌘ + ⌥ + F"));
    startManager();
    runEventLoopUntil([] { return false; }, 100); // past the hand-over
    const LogCapture log;
    const auto pressesTold = [&log] { return log.startingWith(QStringLiteral("⌨️ Shortcut pressed")).size(); };
    const struct {
        uint8_t qtsEvent;
        bool servesThePress;
    } cases[] = {{XCB_FOCUS_OUT, true}, {XCB_KEY_PRESS, true}, {XCB_KEY_RELEASE, true}, {XCB_EXPOSE, false}};
    for (const auto &c : cases) {
        const qsizetype before = pressesTold();
        keyboard.press({XK_Super_L, XK_Alt_L}, XK_f);
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // on our socket by now
        xcb_generic_event_t qtsEvent{};
        qtsEvent.response_type = c.qtsEvent;
        qintptr result = 0;
        EXPECT_FALSE(QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &qtsEvent, &result))
            << "Qt's own event was taken from it";
        EXPECT_EQ(pressesTold(), before + (c.servesThePress ? 1 : 0)) << int(c.qtsEvent);
        EXPECT_TRUE(runEventLoopUntil([&] { return pressesTold() == before + 1; }));
    }
    EXPECT_TRUE(runEventLoopUntil([&] { return home.ran(QStringLiteral("super")); }));
}

// As at the program's start, while its QApplication is being built: no
// event loop runs on the main thread.
TEST_F(HotkeysOnX11, BeforeTheEventLoopAPressStartsItsProgramOnceAndAWebAddressWaitsForTheLoop)
{
    home.addButton(QStringLiteral("script"), QStringLiteral("⌘ + ⌥ + F"));
    home.addWebButton(QStringLiteral("web"), QStringLiteral("⌘ + ⌥ + G"), QStringLiteral("https://example.org/"));
    QStringList opened;
    startManager([&opened](const QString &address, quint64) { opened.append(address); });

    StartupPhase startup(*manager, *shortcuts);
    startup.servePresses();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_g);
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_f);
    bool started = false;
    for (int waited = 0; !started && waited < 3000; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        started = home.ran(QStringLiteral("script"));
    }
    EXPECT_TRUE(started);
    EXPECT_TRUE(opened.isEmpty());

    startup.handOverToEventLoop();
    EXPECT_TRUE(runEventLoopUntil([&] { return !opened.isEmpty(); }));
    runEventLoopUntil([] { return false; }, 300);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://example.org/")});
    EXPECT_FALSE(home.ran(QStringLiteral("script"))) << "the press started its program twice";
}

// A combination another program holds fails for its button only. Asked
// while the user edits, a trial grab says what a bind would meet, and lets
// go without touching the program's own grabs.
TEST_F(HotkeysOnX11, ACombinationHeldByAnotherProgramFailsForThatButtonOnlyAndAProbeSaysSo)
{
    XTestKeyboard otherProgram;
    ASSERT_TRUE(otherProgram.grab(xSuperAlt, XK_g));
    const QUuid before = home.addButton(QStringLiteral("before"), QStringLiteral("⌘ + ⌥ + F"));
    const QUuid held = home.addButton(QStringLiteral("held"), QStringLiteral("⌘ + ⌥ + G"));
    startManager();

    EXPECT_EQ(manager->hotkeyState(before)->kind, ShortcutState::Kind::Live);
    EXPECT_EQ(manager->hotkeyState(held)->kind, ShortcutState::Kind::TakenElsewhere);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt | XCB_MOD_MASK_LOCK, XK_g)) << "partial grabs were kept";
    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_f, QStringLiteral("before")));

    const auto probe = [&](QKeyCombination trigger) { return shortcuts->probe(trigger).kind; };
    EXPECT_EQ(probe(Qt::MetaModifier | Qt::AltModifier | Qt::Key_G), ShortcutState::Kind::TakenElsewhere);
    EXPECT_EQ(probe(Qt::MetaModifier | Qt::AltModifier | Qt::Key_H), ShortcutState::Kind::Live);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_h)) << "the trial let go";
    EXPECT_EQ(probe(Qt::MetaModifier | Qt::AltModifier | Qt::Key_F), ShortcutState::Kind::Live);
    EXPECT_FALSE(keyboard.canGrab(xSuperAlt, XK_f)) << "probing its own combination kept the grab";
    EXPECT_EQ(probe(Qt::MetaModifier | Qt::Key_F35), ShortcutState::Kind::KeyUnavailable);

    // Once the other program lets go, the next bind takes the combination.
    otherProgram.ungrab(xSuperAlt, XK_g);
    manager->registerAllShortcuts();
    EXPECT_EQ(manager->hotkeyState(held)->kind, ShortcutState::Kind::Live);
    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_g, QStringLiteral("held")));
}

TEST_F(HotkeysOnX11, AChangeMovesOnlyItsOwnGrabAndUnregisteringAllReleasesTheKeys)
{
    home.addButton(QStringLiteral("notes"), QStringLiteral("⌘ + ⌥ + F"));
    const QUuid mail = home.addButton(QStringLiteral("mail"), QStringLiteral("⌘ + ⌥ + G"));
    startManager();
    ASSERT_FALSE(keyboard.canGrab(xSuperAlt, XK_f));
    manager->updateButton(mail, QStringLiteral("mail"), QStringLiteral("⌘ + ⌥ + H"), std::nullopt);
    EXPECT_FALSE(keyboard.canGrab(xSuperAlt, XK_f));
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_g)) << "the old combination is released";
    EXPECT_FALSE(keyboard.canGrab(xSuperAlt, XK_h));

    manager->unregisterAllShortcuts();
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_f));
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt | XCB_MOD_MASK_LOCK, XK_f)) << "the lock variants too";
}

static bool setLayout(const char *layout)
{
    return QProcess::execute(QStringLiteral("setxkbmap"), {QString::fromLatin1(layout)}) == 0;
}

// A Wayland session never grabs through XWayland; VANTOREL_HOTKEYS chooses.
// The grabs say why they cannot work: no display, or a Wayland session.
TEST_F(HotkeysOnX11, TheSessionOrVantorelHotkeysChoosesTheBackend)
{
    ScopedEnvironment environment;
    for (const char *name : {"SWAYSOCK", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DISPLAY"})
        environment.unset(name);
    EXPECT_TRUE(DesktopServices::forThisSession().shortcuts->serviceProblem().startsWith(
        QLatin1String("X11: global hotkeys unavailable: ")));
    environment.set("DISPLAY", sharedXvfb().display().toLatin1());
    const std::shared_ptr<GlobalShortcutService> grabs = DesktopServices::forThisSession().shortcuts;
    EXPECT_EQ(grabs->serviceProblem(), QString());
    environment.set("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_TRUE(grabs->serviceProblem().startsWith(QLatin1String("X11: in a Wayland session ")));

    const auto backendWith = [&environment](const char *waylandDisplay, const char *asked) {
        environment.set("WAYLAND_DISPLAY", waylandDisplay ? std::optional<QByteArray>(waylandDisplay) : std::nullopt);
        environment.set("VANTOREL_HOTKEYS", asked ? std::optional<QByteArray>(asked) : std::nullopt);
        return DesktopServices::forThisSession();
    };
    LogCapture log;
    const DesktopServices onWayland = backendWith("wayland-0", nullptr);
    EXPECT_EQ(onWayland.shortcuts->backend(), HotkeyBackend::None);
    EXPECT_FALSE(onWayland.activator) << "Qt activates windows under Wayland";
    std::optional<ShortcutState> answer;
    QObject::connect(onWayland.shortcuts.get(), &GlobalShortcutService::stateChanged,
                     [&](const QString &, const ShortcutState &state) { answer = state; });
    onWayland.shortcuts->bind({{QStringLiteral("a"), QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->kind, ShortcutState::Kind::NoService);
    EXPECT_TRUE(answer->detail.contains(QStringLiteral("\"vantorel --activate NAME\"")));
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_a)) << "nothing is grabbed through XWayland";

    EXPECT_EQ(backendWith("wayland-0", "x11").shortcuts->backend(), HotkeyBackend::X11);
    const DesktopServices off = backendWith(nullptr, "None");
    EXPECT_EQ(off.shortcuts->backend(), HotkeyBackend::None);
    EXPECT_TRUE(off.activator) << "the windows are X windows still";
    EXPECT_EQ(backendWith("wayland-0", "portal").shortcuts->backend(), HotkeyBackend::Portal);
    EXPECT_EQ(backendWith(nullptr, "grabs").shortcuts->backend(), HotkeyBackend::X11);
    EXPECT_TRUE(log.contains(QStringLiteral("VANTOREL_HOTKEYS=grabs is not a hotkey backend here (x11, kglobalaccel, "
                                            "sway, portal, gnome, none); choosing by session")));
    {
        // GNOME's custom shortcuts, on settings of the test's own.
        const QTemporaryDir config;
        ScopedEnvironment gnome;
        gnome.set("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        gnome.set("GSETTINGS_BACKEND", "memory");
        EXPECT_EQ(backendWith("wayland-0", "gnome").shortcuts->backend(), HotkeyBackend::Gnome);
        // Chosen by itself on GNOME without the portal's shortcuts (Ubuntu names itself too).
        gnome.set("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        EXPECT_EQ(backendWith("wayland-0", nullptr).shortcuts->backend(), HotkeyBackend::Gnome);
        EXPECT_EQ(backendWith(nullptr, nullptr).shortcuts->backend(), HotkeyBackend::X11) << "GNOME on Xorg";
    }

    // sway where it answers on SWAYSOCK, or where VANTOREL_HOTKEYS says so.
    VANTOREL_REQUIRE_PROGRAM("sway");
    VANTOREL_REQUIRE_PROGRAM("dbus-daemon");
    if (::geteuid() == 0)
        VANTOREL_REQUIRE_PROGRAM("setpriv");
    const QTemporaryDir swayDir;
    const HeadlessSway sway(swayDir.path(), QStringLiteral("xwayland disable\n"), QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(sway.isRunning()) << sway.error().toStdString();
    environment.set("SWAYSOCK", QFile::encodeName(sway.socketPath()));
    EXPECT_EQ(backendWith("wayland-0", nullptr).shortcuts->backend(), HotkeyBackend::Sway);
    EXPECT_EQ(backendWith("wayland-0", "x11").shortcuts->backend(), HotkeyBackend::X11);
    EXPECT_EQ(backendWith(nullptr, nullptr).shortcuts->backend(), HotkeyBackend::X11) << "an X11 session grabs";
    environment.set("SWAYSOCK", QFile::encodeName(swayDir.filePath(QStringLiteral("gone.sock"))));
    EXPECT_EQ(backendWith("wayland-0", nullptr).shortcuts->backend(), HotkeyBackend::None) << "no sway answers";
    EXPECT_EQ(backendWith("wayland-0", "sway").shortcuts->backend(), HotkeyBackend::Sway);
}

// With a second layout loaded, a hotkey takes only its key of the first
// layout; when the layout changes, hotkeys whose keys swap both follow, and
// so do they when Super moves to another modifier bit. In a Cyrillic layout
// a Latin letter stays on its US key, punctuation moves with its symbol.
TEST_F(HotkeysOnX11, HotkeysFollowTheFirstLayoutKeysThatSwapAndAModifierMapChange)
{
    // Also the modifier map: the server is shared.
    const auto usLayoutAfterwards = qScopeGuard([] { setLayout("us"); });
    ASSERT_TRUE(setLayout("us,de"));
    home.addButton(QStringLiteral("y"), QStringLiteral("⌃ + Y"));
    home.addButton(QStringLiteral("z"), QStringLiteral("⌃ + Z"));
    home.addButton(QStringLiteral("super"), QStringLiteral("⌘ + ⌥ + F"));
    home.addButton(QStringLiteral("letter"), QStringLiteral("⌃ + F"));
    home.addButton(QStringLiteral("dot"), QStringLiteral("⌃ + ."));
    startManager();
    EXPECT_EQ(manager->registeredShortcutIds().size(), 5);
    const uint8_t usDotKey = keyboard.keycodeOf(XK_period);
    EXPECT_TRUE(launches({XK_Control_L}, XK_z, QStringLiteral("z")));
    EXPECT_FALSE(home.ran(QStringLiteral("y")));

    ASSERT_TRUE(setLayout("de"));
    EXPECT_TRUE(launches({XK_Control_L}, XK_y, QStringLiteral("y"), 20));

    ASSERT_EQ(QProcess::execute(QStringLiteral("xmodmap"), {QStringLiteral("-e"), QStringLiteral("clear mod4"),
                                                            QStringLiteral("-e"), QStringLiteral("add mod3 = Super_L Super_R")}),
              0);
    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_f, QStringLiteral("super"), 20));

    ASSERT_TRUE(setLayout("ru"));
    EXPECT_EQ(keyboard.keycodeOf(XK_f), 0) << "no Latin f: F falls back to its US key, which types а";
    EXPECT_NE(keyboard.keycodeOf(XK_period), usDotKey) << "the dot moved to another key";
    // The grabs follow the change a moment later; until then the old ones answer.
    EXPECT_TRUE(launches({XK_Control_L}, XK_period, QStringLiteral("dot"), 20));
    EXPECT_TRUE(launches({XK_Control_L}, XK_Cyrillic_a, QStringLiteral("letter")));
}
