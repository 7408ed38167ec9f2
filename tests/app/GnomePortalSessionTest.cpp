#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "GnomeHeadlessSession.h"
#include "LaunchMarker.h"
#include "ProgramRun.h"
#include "QtPrinters.h"
#include "RequiredTool.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
constexpr quint32 superKey = 0xffeb; // XK_Super_L
constexpr quint32 altKey = 0xffe9;   // XK_Alt_L
constexpr quint32 controlKey = 0xffe3; // XK_Control_L
constexpr int dialogTimeoutMs = 60000;
constexpr int firstGnomeWithShortcuts = 48;

// What the program's log says the desktop put the button on, or empty.
QString triggerIn(ProgramRun &program, const QString &buttonName)
{
    const QString prefix = QStringLiteral("Portal: the desktop's trigger for %1: ").arg(buttonName);
    for (const QString &line : QString::fromUtf8(program.output()).split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QString();
}

// Both buttons registered and their triggers told (the trigger's line comes after its button's).
bool bothRegistered(ProgramRun &program)
{
    const QByteArray output = program.output();
    return (output.count("✅ Successfully registered shortcut: ") == 2
            && output.count("Portal: the desktop's trigger for ") == 2)
        || output.contains("❌");
}

// GNOME 48 and later, for real: gnome-shell, its portal and GNOME Settings' dialog. The first
// start asks the user (the test says Add over the accessibility bus), every button then shows
// the trigger GNOME gave it, a key launches its button and no other, and the next start binds
// the same shortcuts without asking again.
TEST(GnomeSessionTest, ThePortalAsksOnceAndItsKeysLaunchTheButtons)
{
    VANTOREL_REQUIRE_PROGRAM("gnome-shell");
    // Not a missing tool, also in CI: this GNOME has no such service, there is nothing to install.
    if (const int version = GnomeHeadlessSession::shellVersion(); version < firstGnomeWithShortcuts)
        GTEST_SKIP() << "GNOME " << version << " here: GNOME's portal binds global shortcuts from GNOME 48 on "
                     << "(Debian 13); GNOME 41 to 47 (Debian 12 has 43) have no service for a program's global keys";
    if (const QString missing = GnomeHeadlessSession::missingPiece(GnomeHeadlessSession::Keys::portal); !missing.isEmpty())
        VANTOREL_SKIP_OR_FAIL(missing.toStdString());

    GnomeHeadlessSession gnome(GnomeHeadlessSession::Keys::portal);
    ASSERT_TRUE(gnome.isRunning()) << gnome.error().toStdString();
    ASSERT_TRUE(gnome.hideOverview()) << gnome.logs().toStdString();

    QTemporaryDir targets;
    const LaunchMarker fire(targets.path(), QStringLiteral("fire"));
    const LaunchMarker note(targets.path(), QStringLiteral("note"));
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("Fire"), QStringLiteral("⌘ + ⌥ + F"), fire.url());
    buttons.add(QStringLiteral("Note"), QStringLiteral("⌃ + ⌥ + N"), note.url());
    // In the session's HOME, where the portal also looks for the program's desktop entry.
    ASSERT_TRUE(buttons.writeTo(gnome.environment().value(QStringLiteral("HOME")) + QStringLiteral("/.vantorel")));

    // Nobody answers a dialog for the second start: its bind can only come back if GNOME asks no more.
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "first start" : "second start");
        ProgramRun program;
        program.enterSession(gnome.environment());
        program.environment().insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        ASSERT_TRUE(program.start({QStringLiteral(VANTOREL_BINARY)}));
        QString dialog;
        const auto failed = [&] { return program.output().contains("❌"); };
        if (first) {
            ASSERT_TRUE(gnome.pressAccessibleButton(QStringLiteral("Add"), dialogTimeoutMs, failed, &dialog))
                << dialog.toStdString() << "\n" << program.transcript() << gnome.logs().toStdString();
        }
        ASSERT_TRUE(runEventLoopUntil([&] { return bothRegistered(program); }, ProgramRun::timeoutMs))
            << program.transcript();
        EXPECT_FALSE(failed()) << program.transcript();
        EXPECT_EQ(triggerIn(program, QStringLiteral("Fire")), QStringLiteral("Alt+Super+F")) << program.transcript();
        EXPECT_EQ(triggerIn(program, QStringLiteral("Note")), QStringLiteral("Ctrl+Alt+N")) << program.transcript();

        // Fire's keys on the first start, Note's on the second; each launches its button and no other.
        // Pressed again if need be: the virtual keyboard's first key can come before the shell reads it.
        const LaunchMarker &pressed = first ? fire : note;
        const QList<quint32> keys = first ? QList<quint32>{superKey, altKey, 'f'} : QList<quint32>{controlKey, altKey, 'n'};
        EXPECT_TRUE(pressed.pressUntil(1, [&] { return gnome.press(keys); }))
            << program.transcript() << gnome.logs().toStdString();
        EXPECT_EQ(fire.launches() + note.launches(), first ? 1 : 2);
        EXPECT_TRUE(program.waitForOutput("⌨️ Shortcut pressed with ID: ")) << program.transcript();
        EXPECT_EQ(program.terminate(), 0) << program.transcript();
    }
}
} // namespace
