#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "GnomeHeadlessSession.h"
#include "LaunchMarker.h"
#include "ProgramRun.h"
#include "QtPrinters.h"
#include "RequiredTool.h"
#include "UnixSocket.h"

#include <QFileInfo>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/socket.h>

// The real program in a real GNOME 43 session without a display (headless gnome-shell and
// gsd-media-keys, see GnomeHeadlessSession), keys pressed through mutter's virtual keyboard.
// One session for all the steps: it takes seconds to start.
namespace {
const QString listSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString listKey = QStringLiteral("custom-keybindings");
const QString base = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");
const QString usersPath = base + QStringLiteral("custom0/");
constexpr quint32 superKey = 0xffeb; // XK_Super_L
constexpr quint32 altKey = 0xffe9;   // XK_Alt_L

QString actionIdOf(QUuid id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

// gsettings in the program's environment (the session's); its output, trimmed.
QString gsettings(const ProgramRun &in, const QStringList &arguments)
{
    return QString::fromUtf8(in.runTool(QStringLiteral("gsettings"), arguments).value_or("(gsettings failed)")).trimmed();
}

QString entryKey(const ProgramRun &in, const QString &path, const QString &key)
{
    return gsettings(in, {QStringLiteral("get"), listSchema + QStringLiteral(".custom-keybinding:") + path, key});
}

// Presses until the marker counts one more launch; false when none came.
bool pressLaunches(GnomeHeadlessSession &gnome, const QList<quint32> &keys, const LaunchMarker &marker)
{
    return marker.pressUntil(marker.launches() + 1, [&] { return gnome.press(keys); }, 8, 1500);
}

// The copy of the program a press started in this session after the program quit (gsd-media-keys
// ran it): the test ends the process that listens on the session's instance socket.
void endTheCopyStartedByAPress(const GnomeHeadlessSession &gnome)
{
    const int fd = connectToUnixSocket(gnome.environment().value(QStringLiteral("XDG_RUNTIME_DIR"))
                                       + QStringLiteral("/vantorel-wayland-0"));
    ucred listener{};
    socklen_t size = sizeof listener;
    if (fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &listener, &size) == 0 && listener.pid > 0)
        ::kill(listener.pid, SIGTERM);
    if (fd >= 0)
        ::close(fd);
}

TEST(GnomeSessionTest, ButtonsBecomeGnomeCustomShortcutsWithTheUsersConsent)
{
    if (const QString missing = GnomeHeadlessSession::missingPiece(GnomeHeadlessSession::Keys::customShortcuts);
        !missing.isEmpty())
        VANTOREL_SKIP_OR_FAIL(missing.toStdString());
    // Passed on to the commands gsd-media-keys runs (the --activate client, a program a press
    // starts): no window. GNOME's custom shortcuts also where the portal has global shortcuts
    // (GNOME 48), which the program would choose there by itself.
    GnomeHeadlessSession gnome(GnomeHeadlessSession::Keys::customShortcuts,
                               {QStringLiteral("QT_QPA_PLATFORM=offscreen"), QStringLiteral("VANTOREL_HOTKEYS=gnome")});
    ASSERT_TRUE(gnome.isRunning()) << gnome.error().toStdString();
    ProgramRun program;
    program.enterSession(gnome.environment());
    const auto list = [&] { return gsettings(program, {QStringLiteral("get"), listSchema, listKey}); };

    // The user's own custom shortcut, as GNOME Settings writes it.
    const LaunchMarker usersOwn(program.dir(), QStringLiteral("user"));
    const QString usersEntry = listSchema + QStringLiteral(".custom-keybinding:") + usersPath;
    gsettings(program, {QStringLiteral("set"), usersEntry, QStringLiteral("name"), QStringLiteral("Mine")});
    gsettings(program, {QStringLiteral("set"), usersEntry, QStringLiteral("command"), QStringLiteral("/bin/sh ") + usersOwn.script()});
    gsettings(program, {QStringLiteral("set"), usersEntry, QStringLiteral("binding"), QStringLiteral("<Super><Alt>u")});
    gsettings(program, {QStringLiteral("set"), listSchema, listKey, QStringLiteral("['%1']").arg(usersPath)});
    const QString before = list();
    ASSERT_EQ(before, QStringLiteral("['%1']").arg(usersPath));
    const QList<quint32> usersKeys{superKey, altKey, 'u'};
    ASSERT_TRUE(pressLaunches(gnome, usersKeys, usersOwn)) << gnome.logs().toStdString();

    const LaunchMarker marker(program.dir());
    const QUuid markId = QUuid::createUuid();
    // Apps on Super+A, which GNOME keeps; Mark by this name on these keys, or none.
    const auto writeButtons = [&](const QString &markName, const QString &markKeys) {
        ButtonFileWriter buttons;
        if (!markName.isEmpty())
            buttons.add(markName, markKeys, marker.url(), markId);
        buttons.add(QStringLiteral("Apps"), QStringLiteral("⌘ + A"), marker.url());
        return buttons.writeTo(program.buttonFile());
    };
    ASSERT_TRUE(writeButtons(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + F")));
    const QString markPath = base + QStringLiteral("vantorel-") + actionIdOf(markId) + QLatin1Char('/');
    const QString bothPaths = QStringLiteral("['%1', '%2']").arg(usersPath, markPath);

    ASSERT_TRUE(program.start({QStringLiteral(VANTOREL_BINARY)}));
    ASSERT_TRUE(program.waitForOutput("GNOME: the shortcuts wait for your consent")) << program.transcript();
    EXPECT_EQ(list(), before) << "nothing is written before the user agrees";

    // Consent from a terminal while the program runs; the program follows.
    const QString added = QString::fromUtf8(
        program.runTool(QStringLiteral(VANTOREL_BINARY), {QStringLiteral("--add-desktop-shortcuts")}).value_or("(failed)"));
    EXPECT_TRUE(added.contains(QStringLiteral("Added “Mark” on Super+Alt+F"))) << added.toStdString();
    EXPECT_TRUE(added.contains(QStringLiteral("Not added “Apps”: Super+A is GNOME's Keybinding to open the "
                                              "“Show Applications” view")))
        << added.toStdString();
    EXPECT_TRUE(program.waitForOutput("GNOME: consent given from another process")) << program.transcript();
    EXPECT_TRUE(program.waitForOutput("Super+A is GNOME's Keybinding to open the “Show Applications” view"))
        << program.transcript();
    EXPECT_EQ(list(), bothPaths);
    EXPECT_EQ(entryKey(program, markPath, QStringLiteral("name")), QStringLiteral("'Vantorel: Mark'"));
    EXPECT_EQ(entryKey(program, markPath, QStringLiteral("binding")), QStringLiteral("'<Alt><Super>f'"));
    EXPECT_EQ(entryKey(program, markPath, QStringLiteral("command")),
              QStringLiteral("'%1 --activate %2'").arg(QFileInfo(QStringLiteral(VANTOREL_BINARY)).canonicalFilePath(),
                                                      actionIdOf(markId)));

    const QList<quint32> superAltF{superKey, altKey, 'f'};
    const QList<quint32> superAltG{superKey, altKey, 'g'};
    EXPECT_TRUE(pressLaunches(gnome, superAltF, marker)) << program.transcript();
    EXPECT_TRUE(program.waitForOutput("⌨️ Activated by command: Mark")) << program.transcript();
    EXPECT_TRUE(pressLaunches(gnome, usersKeys, usersOwn));

    // Renamed and on other keys: the entry follows, and so do the keys.
    ASSERT_TRUE(writeButtons(QStringLiteral("Marked"), QStringLiteral("⌘ + ⌥ + G")));
    EXPECT_TRUE(runEventLoopUntil(
        [&] { return entryKey(program, markPath, QStringLiteral("binding")) == QStringLiteral("'<Alt><Super>g'"); }, 10000))
        << program.transcript();
    EXPECT_EQ(entryKey(program, markPath, QStringLiteral("name")), QStringLiteral("'Vantorel: Marked'"));
    EXPECT_EQ(list(), bothPaths);
    EXPECT_TRUE(pressLaunches(gnome, superAltG, marker)) << program.transcript();
    EXPECT_TRUE(marker.pressLaunchesNothing([&] { return gnome.press(superAltF); }));
    EXPECT_TRUE(pressLaunches(gnome, usersKeys, usersOwn));

    // Deleted: out of the list, its keys reset (after the path left the list, as GNOME Settings
    // does), its keys fire nothing.
    ASSERT_TRUE(writeButtons(QString(), QString()));
    EXPECT_TRUE(runEventLoopUntil([&] { return list() == before; }, 10000)) << list().toStdString();
    EXPECT_TRUE(runEventLoopUntil(
        [&] { return entryKey(program, markPath, QStringLiteral("binding")) == QStringLiteral("''"); }, 10000))
        << program.transcript();
    EXPECT_EQ(entryKey(program, markPath, QStringLiteral("name")), QStringLiteral("''"));
    EXPECT_TRUE(marker.pressLaunchesNothing([&] { return gnome.press(superAltG); }));
    EXPECT_TRUE(pressLaunches(gnome, usersKeys, usersOwn));

    // Back, then the program quits: the entry stays, and a press starts it.
    ASSERT_TRUE(writeButtons(QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + F")));
    EXPECT_TRUE(runEventLoopUntil([&] { return list() == bothPaths; }, 10000));
    EXPECT_EQ(program.terminate(), 0) << program.transcript();
    EXPECT_EQ(list(), bothPaths);
    // One press: a second one would find the program still starting.
    const int launched = marker.launches();
    EXPECT_TRUE(marker.pressUntil(launched + 1, [&] { return gnome.press(superAltF); }, 1, 20000))
        << gnome.logs().toStdString();
    EXPECT_FALSE(runEventLoopUntil([&] { return marker.launches() > launched + 1; }, 500));

    // Taken out again from a terminal: GNOME's list as it was before.
    EXPECT_TRUE(program.runTool(QStringLiteral(VANTOREL_BINARY), {QStringLiteral("--remove-desktop-shortcuts")}));
    EXPECT_EQ(list(), before);
    EXPECT_EQ(entryKey(program, markPath, QStringLiteral("command")), QStringLiteral("''"));
    EXPECT_TRUE(marker.pressLaunchesNothing([&] { return gnome.press(superAltF); }));
    EXPECT_TRUE(pressLaunches(gnome, usersKeys, usersOwn));

    endTheCopyStartedByAPress(gnome);
}
} // namespace
