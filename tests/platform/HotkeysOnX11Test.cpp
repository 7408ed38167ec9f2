#include "DesktopServices.h"
#include "ButtonHome.h"
#include "DesktopTestKit.h"
#include "XTestKeyboard.h"
#include "HotKeyManager.h"
#include "LogCapture.h"
#include "fake/FakeSwayIpc.h"

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#define XK_CYRILLIC
#include <X11/keysymdef.h>

#include <chrono>
#include <cstring>
#include <thread>

// The manager and the session's real desktop backends on a private X
// server, driven by key presses as a user makes them.
class HotkeysOnX11 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString(); }

    void startManager()
    {
        ASSERT_TRUE(home.writeButtonFile());
        const DesktopServices desktop = DesktopServices::forThisSession();
        manager = std::make_unique<HotKeyManager>(HotKeyManager::Services{
            desktop.shortcuts, desktop.launcher, desktop.permission, {}, home.path(), {}, desktop.windows, home.path()});
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
    std::unique_ptr<HotKeyManager> manager;
};

TEST_F(HotkeysOnX11, EachButtonLaunchesOnItsOwnCombinationAlsoWithLocksOn)
{
    home.addButton(QStringLiteral("super"), QStringLiteral("⌘ + ⌥ + F"));
    home.addButton(QStringLiteral("control"), QStringLiteral("⌃ + F"));
    startManager();

    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_f, QStringLiteral("super")));
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
    ASSERT_TRUE(home.writeButtonFile());
    QStringList opened;
    const DesktopServices desktop = DesktopServices::forThisSession();
    manager = std::make_unique<HotKeyManager>(HotKeyManager::Services{
        desktop.shortcuts, desktop.launcher, desktop.permission,
        [&opened](const QString &address, quint64) { opened.append(address); }, home.path(), {}, desktop.windows, home.path()});

    manager->serveBeforeEventLoop();
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_g);
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_f);
    bool started = false;
    for (int waited = 0; !started && waited < 3000; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        started = home.ran(QStringLiteral("script"));
    }
    EXPECT_TRUE(started);
    EXPECT_TRUE(opened.isEmpty());

    manager->serveFromEventLoop();
    EXPECT_TRUE(runEventLoopUntil([&] { return !opened.isEmpty(); }));
    runEventLoopUntil([] { return false; }, 300);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://example.org/")});
    EXPECT_FALSE(home.ran(QStringLiteral("script"))) << "the press started its program twice";
    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_f, QStringLiteral("script")));
}

TEST_F(HotkeysOnX11, ACombinationHeldByAnotherProgramFailsForThatButtonOnly)
{
    XTestKeyboard otherProgram;
    ASSERT_TRUE(otherProgram.grab(xSuperAlt, XK_g));
    const QUuid before = home.addButton(QStringLiteral("before"), QStringLiteral("⌘ + ⌥ + F"));
    const QUuid held = home.addButton(QStringLiteral("held"), QStringLiteral("⌘ + ⌥ + G"));
    startManager();

    EXPECT_EQ(manager->registry().stateOf(before)->kind, ShortcutState::Kind::Live);
    EXPECT_EQ(manager->registry().stateOf(held)->kind, ShortcutState::Kind::TakenElsewhere);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt | XCB_MOD_MASK_LOCK, XK_g)) << "partial grabs were kept";
    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_f, QStringLiteral("before")));

    // Once the other program lets go, the next bind takes the combination.
    otherProgram.ungrab(xSuperAlt, XK_g);
    manager->registerAllShortcuts();
    EXPECT_EQ(manager->registry().stateOf(held)->kind, ShortcutState::Kind::Live);
    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_g, QStringLiteral("held")));
}

// Asked while the user edits: a trial grab that says what a bind would
// meet, and lets go without touching the program's own grabs.
TEST_F(HotkeysOnX11, ProbingACombinationTellsWhatABindWouldMeetAndKeepsOwnGrabs)
{
    XTestKeyboard otherProgram;
    ASSERT_TRUE(otherProgram.grab(xSuperAlt, XK_g));
    home.addButton(QStringLiteral("own"), QStringLiteral("⌘ + ⌥ + F"));
    startManager();
    const auto probe = [&](QKeyCombination trigger) { return manager->registry().probe(trigger).kind; };

    EXPECT_EQ(probe(Qt::MetaModifier | Qt::AltModifier | Qt::Key_G), ShortcutState::Kind::TakenElsewhere);
    EXPECT_EQ(probe(Qt::MetaModifier | Qt::AltModifier | Qt::Key_H), ShortcutState::Kind::Live);
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_h)) << "the trial let go";
    EXPECT_EQ(probe(Qt::MetaModifier | Qt::AltModifier | Qt::Key_F), ShortcutState::Kind::Live);
    EXPECT_FALSE(keyboard.canGrab(xSuperAlt, XK_f)) << "probing its own combination kept the grab";
    EXPECT_EQ(probe(Qt::MetaModifier | Qt::Key_F35), ShortcutState::Kind::KeyUnavailable);
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

TEST_F(HotkeysOnX11, SwitchingToACyrillicLayoutKeepsHotkeysOnTheirKeys)
{
    home.addButton(QStringLiteral("letter"), QStringLiteral("⌃ + F"));
    home.addButton(QStringLiteral("dot"), QStringLiteral("⌃ + ."));
    startManager();
    const uint8_t usDotKey = keyboard.keycodeOf(XK_period);

    ASSERT_TRUE(setLayout("ru"));
    EXPECT_EQ(keyboard.keycodeOf(XK_f), 0) << "no Latin f: F falls back to its US key, which types а";
    EXPECT_NE(keyboard.keycodeOf(XK_period), usDotKey) << "the dot moved to another key";
    // The grabs follow the change a moment later; until then the old ones answer.
    EXPECT_TRUE(launches({XK_Control_L}, XK_period, QStringLiteral("dot"), 20));
    EXPECT_TRUE(launches({XK_Control_L}, XK_Cyrillic_a, QStringLiteral("letter")));
    EXPECT_TRUE(setLayout("us"));
}

TEST_F(HotkeysOnX11, PermissionIsDeniedWithoutADisplayOrInAWaylandSession)
{
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY"), session = qgetenv("XDG_SESSION_TYPE");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    qunsetenv("DISPLAY");
    EXPECT_FALSE(DesktopServices::forThisSession().permission->hotkeysAllowed());
    qputenv("DISPLAY", sharedXvfb().display().toLatin1());
    const std::shared_ptr<PermissionService> permission = DesktopServices::forThisSession().permission;
    EXPECT_TRUE(permission->hotkeysAllowed());
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_FALSE(permission->hotkeysAllowed());

    for (const auto &[name, value] : {std::pair{"WAYLAND_DISPLAY", wayland}, std::pair{"XDG_SESSION_TYPE", session}})
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
}

// A Wayland session never grabs through XWayland; VANTOREL_HOTKEYS chooses.
TEST_F(HotkeysOnX11, TheSessionOrVantorelHotkeysChoosesTheBackend)
{
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY"), chosen = qgetenv("VANTOREL_HOTKEYS"),
                     swaySocket = qgetenv("SWAYSOCK");
    qunsetenv("SWAYSOCK");
    const auto backendWith = [](const char *waylandDisplay, const char *asked) {
        waylandDisplay ? qputenv("WAYLAND_DISPLAY", waylandDisplay) : qunsetenv("WAYLAND_DISPLAY");
        asked ? qputenv("VANTOREL_HOTKEYS", asked) : qunsetenv("VANTOREL_HOTKEYS");
        return DesktopServices::forThisSession();
    };
    LogCapture log;
    const DesktopServices onWayland = backendWith("wayland-0", nullptr);
    EXPECT_EQ(onWayland.shortcuts->backendName(), QStringLiteral("none"));
    EXPECT_FALSE(onWayland.activator) << "Qt activates windows under Wayland";
    EXPECT_FALSE(onWayland.permission->hotkeysAllowed());
    std::optional<ShortcutState> answer;
    QObject::connect(onWayland.shortcuts.get(), &GlobalShortcutService::stateChanged,
                     [&](const QString &, const ShortcutState &state) { answer = state; });
    onWayland.shortcuts->bind({{QStringLiteral("a"), QStringLiteral("A"), Qt::MetaModifier | Qt::Key_A}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->kind, ShortcutState::Kind::NoService);
    EXPECT_TRUE(answer->detail.contains(QStringLiteral("\"vantorel --activate NAME\"")));
    EXPECT_TRUE(keyboard.canGrab(xSuperAlt, XK_a)) << "nothing is grabbed through XWayland";

    EXPECT_EQ(backendWith("wayland-0", "x11").shortcuts->backendName(), QStringLiteral("X11"));
    const DesktopServices off = backendWith(nullptr, "None");
    EXPECT_EQ(off.shortcuts->backendName(), QStringLiteral("none"));
    EXPECT_TRUE(off.activator) << "the windows are X windows still";
    EXPECT_EQ(backendWith("wayland-0", "portal").shortcuts->backendName(), QStringLiteral("portal"));
    EXPECT_EQ(backendWith(nullptr, "grabs").shortcuts->backendName(), QStringLiteral("X11"));
    EXPECT_TRUE(log.contains(QStringLiteral("VANTOREL_HOTKEYS=grabs is not a hotkey backend here (x11, kglobalaccel, "
                                            "sway, portal, gnome, none); choosing by session")));
    {
        // GNOME's custom shortcuts, on settings of the test's own.
        const QTemporaryDir config;
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME"), settingsBackend = qgetenv("GSETTINGS_BACKEND");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        qputenv("GSETTINGS_BACKEND", "memory");
        EXPECT_EQ(backendWith("wayland-0", "gnome").shortcuts->backendName(), QStringLiteral("GNOME"));
        // Chosen by itself on GNOME without the portal's shortcuts (Ubuntu names itself too).
        const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
        qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        EXPECT_EQ(backendWith("wayland-0", nullptr).shortcuts->backendName(), QStringLiteral("GNOME"));
        EXPECT_EQ(backendWith(nullptr, nullptr).shortcuts->backendName(), QStringLiteral("X11")) << "GNOME on Xorg";
        for (const auto &[name, value] : {std::pair{"XDG_CONFIG_HOME", configHome},
                                          std::pair{"GSETTINGS_BACKEND", settingsBackend},
                                          std::pair{"XDG_CURRENT_DESKTOP", desktop}})
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }

    // sway where it answers on SWAYSOCK, or where VANTOREL_HOTKEYS says so.
    const QTemporaryDir swayDir;
    const FakeSwayIpc sway(swayDir.filePath(QStringLiteral("sway-ipc.sock")));
    ASSERT_TRUE(sway.isListening());
    qputenv("SWAYSOCK", QFile::encodeName(sway.path()));
    EXPECT_EQ(backendWith("wayland-0", nullptr).shortcuts->backendName(), QStringLiteral("sway"));
    EXPECT_EQ(backendWith("wayland-0", "x11").shortcuts->backendName(), QStringLiteral("X11"));
    EXPECT_EQ(backendWith(nullptr, nullptr).shortcuts->backendName(), QStringLiteral("X11")) << "an X11 session grabs";
    qputenv("SWAYSOCK", QFile::encodeName(swayDir.filePath(QStringLiteral("gone.sock"))));
    EXPECT_EQ(backendWith("wayland-0", nullptr).shortcuts->backendName(), QStringLiteral("none")) << "no sway answers";
    EXPECT_EQ(backendWith("wayland-0", "sway").shortcuts->backendName(), QStringLiteral("sway"));

    for (const auto &[name, value] : {std::pair{"WAYLAND_DISPLAY", wayland}, std::pair{"VANTOREL_HOTKEYS", chosen},
                                      std::pair{"SWAYSOCK", swaySocket}})
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
}

TEST_F(HotkeysOnX11, TheWindowActivatorAsksTheWindowManagerWithThePressTime)
{
    const DesktopServices desktop = DesktopServices::forThisSession();
    quint64 pressTime = 0;
    QObject::connect(desktop.shortcuts.get(), &GlobalShortcutService::activated,
                     [&](const QString &actionId, quint64 time) { pressTime = actionId == u"notes" ? time : 0; });
    desktop.shortcuts->bind({{QStringLiteral("notes"), QStringLiteral("Notes"), Qt::MetaModifier | Qt::AltModifier | Qt::Key_F}});
    keyboard.press({XK_Super_L, XK_Alt_L}, XK_f);
    ASSERT_TRUE(runEventLoopUntil([&] { return pressTime != 0; }));

    // Play a window manager: announce one and take the requests sent to the root window.
    xcb_connection_t *c = keyboard.connection();
    const auto atom = [c](const char *name) {
        const std::unique_ptr<xcb_intern_atom_reply_t, void (*)(void *)> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr), &std::free);
        return reply->atom;
    };
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, 0, window, keyboard.root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, 0, 0, nullptr);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, keyboard.root(), atom("_NET_SUPPORTING_WM_CHECK"),
                        XCB_ATOM_WINDOW, 32, 1, &window);
    const uint32_t redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_change_window_attributes(c, keyboard.root(), XCB_CW_EVENT_MASK, &redirect);
    keyboard.sync();

    desktop.activator->activate(window, pressTime);

    std::unique_ptr<xcb_generic_event_t, void (*)(void *)> event(nullptr, &std::free);
    const bool got = runEventLoopUntil([&] {
        event.reset(xcb_poll_for_event(c));
        return event && (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE;
    });
    xcb_delete_property(c, keyboard.root(), atom("_NET_SUPPORTING_WM_CHECK"));
    ASSERT_TRUE(got);
    const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event.get());
    EXPECT_EQ(message->type, atom("_NET_ACTIVE_WINDOW"));
    EXPECT_EQ(message->window, window);
    EXPECT_EQ(message->data.data32[1], pressTime);
}

// With a second layout loaded, a hotkey takes only its key of the first
// layout; when the layout changes, hotkeys whose keys swap both follow, and
// so do they when Super moves to another modifier bit.
TEST_F(HotkeysOnX11, HotkeysFollowTheFirstLayoutKeysThatSwapAndAModifierMapChange)
{
    struct UsLayoutAfterwards {
        ~UsLayoutAfterwards() { setLayout("us"); } // also the modifier map: the server is shared
    } restore;
    ASSERT_TRUE(setLayout("us,de"));
    home.addButton(QStringLiteral("y"), QStringLiteral("⌃ + Y"));
    home.addButton(QStringLiteral("z"), QStringLiteral("⌃ + Z"));
    home.addButton(QStringLiteral("super"), QStringLiteral("⌘ + ⌥ + F"));
    startManager();
    EXPECT_EQ(manager->registeredShortcutIds().size(), 3);
    EXPECT_TRUE(launches({XK_Control_L}, XK_z, QStringLiteral("z")));
    EXPECT_FALSE(home.ran(QStringLiteral("y")));

    ASSERT_TRUE(setLayout("de"));
    EXPECT_TRUE(launches({XK_Control_L}, XK_y, QStringLiteral("y"), 20));

    ASSERT_EQ(QProcess::execute(QStringLiteral("xmodmap"), {QStringLiteral("-e"), QStringLiteral("clear mod4"),
                                                            QStringLiteral("-e"), QStringLiteral("add mod3 = Super_L Super_R")}),
              0);
    EXPECT_TRUE(launches({XK_Super_L, XK_Alt_L}, XK_f, QStringLiteral("super"), 20));
}
