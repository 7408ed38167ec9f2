#include "EventLoopWait.h"
#include "LaunchMarker.h"
#include "ProgramRun.h"
#include "QtPrinters.h"
#include "RequiredTool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>

// The real program in a real GNOME 43 session without a display (headless
// gnome-shell, gsd-media-keys, private session and system buses, a private
// HOME; see gnome-headless.sh), keys pressed through mutter's virtual
// keyboard. One session for all the steps: it takes seconds to start.
namespace {
const QString listSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString listKey = QStringLiteral("custom-keybindings");
const QString base = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");
const QString usersPath = base + QStringLiteral("custom0/");

QString actionIdOf(QUuid id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

// The session runs a command that saves its environment and waits for a
// stop file; every step runs in that environment.
class GnomeSession {
public:
    explicit GnomeSession(const QString &dir) : m_dir(dir)
    {
        QDir().mkpath(m_dir);
        // Passed on to the commands the settings daemon runs: the
        // --activate client and a program a press starts show no window.
        m_shell.environment().insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // GNOME's summaries in the words the test expects, whatever the machine's language.
        m_shell.environment().insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        m_shell.environment().remove(QStringLiteral("LANGUAGE"));
        // GNOME's custom shortcuts also where the portal has global shortcuts
        // (GNOME 48), which the program would choose there by itself.
        m_shell.environment().insert(QStringLiteral("VANTOREL_HOTKEYS"), QStringLiteral("gnome"));
        m_shell.start({QStringLiteral(GNOME_HEADLESS), m_dir, QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                       QStringLiteral("env -0 > \"$0/session.env.part\" && mv \"$0/session.env.part\" \"$0/session.env\";"
                                      " while [ ! -e \"$0/stop\" ]; do sleep 0.2; done"),
                       m_dir});
    }
    ~GnomeSession()
    {
        QFile(m_dir + QStringLiteral("/stop")).open(QIODevice::WriteOnly);
        m_shell.waitForExit();
    }

    bool waitUntilReady()
    {
        runEventLoopUntil([this] { return QFileInfo::exists(m_dir + QStringLiteral("/session.env"))
                                          || m_shell.process().state() == QProcess::NotRunning; },
                          60000);
        QFile file(m_dir + QStringLiteral("/session.env"));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : file.readAll().split('\0')) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                m_environment.insert(QString::fromLocal8Bit(line.left(equals)), QString::fromLocal8Bit(line.mid(equals + 1)));
        }
        return m_environment.contains(QStringLiteral("GNOME_PRESS"));
    }
    std::string transcript() { return m_shell.transcript(); }
    const QProcessEnvironment &environment() const { return m_environment; }
    QString home() const { return m_environment.value(QStringLiteral("HOME")); }

    // Runs a command in the session; its standard output, trimmed.
    QString run(const QString &program, const QStringList &arguments, int *status = nullptr) const
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(program, arguments);
        process.waitForFinished(ProgramRun::timeoutMs);
        if (status)
            *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
    }
    QString gsettings(const QStringList &arguments) const { return run(QStringLiteral("gsettings"), arguments); }
    QString list() const { return gsettings({QStringLiteral("get"), listSchema, listKey}); }
    QString entryKey(const QString &path, const QString &key) const
    {
        return gsettings({QStringLiteral("get"), listSchema + QStringLiteral(".custom-keybinding:") + path, key});
    }
    void press(const QStringList &keys) const { run(m_environment.value(QStringLiteral("GNOME_PRESS")), keys); }
    // Presses until the marker counts one more launch; false when none came.
    bool pressLaunches(const QStringList &keys, const LaunchMarker &marker) const
    {
        return marker.pressUntil(marker.launches() + 1, [&] { press(keys); return true; }, 8, 1500);
    }
    // A press that must not launch: waits as long as a launch would take.
    bool pressLaunchesNothing(const QStringList &keys, const LaunchMarker &marker) const
    {
        const int before = marker.launches();
        press(keys);
        runEventLoopUntil([&] { return marker.launches() > before; }, 2500);
        return marker.launches() == before;
    }

private:
    QString m_dir;
    ProgramRun m_shell;
    QProcessEnvironment m_environment;
};

struct Button {
    QUuid id;
    QString name;
    QString shortcut;
    QString target;
};

bool writeButtons(const QString &path, const QList<Button> &buttons)
{
    QJsonArray array;
    for (const Button &button : buttons) {
        array.append(QJsonObject{{QStringLiteral("id"), actionIdOf(button.id)},
                                 {QStringLiteral("name"), button.name},
                                 {QStringLiteral("shortcut"), button.shortcut},
                                 {QStringLiteral("appURLString"), button.target}});
    }
    QFile file(path + QStringLiteral(".new"));
    const QByteArray bytes = QJsonDocument(array).toJson(QJsonDocument::Compact);
    // Renamed over the file: the program never reads half of it.
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && (file.close(), true)
        && ::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) == 0;
}

// The copies of the program a press started in this session (its HOME):
// gsd-media-keys ran them, so the test ends them by their ids.
QList<pid_t> programsOfSession(const QString &home)
{
    QList<pid_t> pids;
    const QString binary = QFileInfo(QStringLiteral(VANTOREL_BINARY)).canonicalFilePath();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid || QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() != binary)
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains("HOME=" + QFile::encodeName(home)))
            pids.append(pid);
    }
    return pids;
}

TEST(GnomeSessionTest, ButtonsBecomeGnomeCustomShortcutsWithTheUsersConsent)
{
    for (const char *tool : {"gnome-shell", "gsettings", "dbus-run-session", "dbus-daemon", "gdbus"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            VANTOREL_SKIP_OR_FAIL(std::string(tool) + " is not installed (scripts/install-deps.sh)");
    }
    if (!QFileInfo::exists(QStringLiteral("/usr/libexec/gsd-media-keys")))
        VANTOREL_SKIP_OR_FAIL("gsd-media-keys is not installed (gnome-settings-daemon)");

    ProgramRun program;
    GnomeSession session(program.dir() + QStringLiteral("/gnome"));
    ASSERT_TRUE(session.waitUntilReady()) << session.transcript();

    // The user's own custom shortcut, as GNOME Settings writes it.
    QDir().mkpath(program.dir() + QStringLiteral("/user"));
    const LaunchMarker usersOwn(program.dir() + QStringLiteral("/user"));
    const QString usersEntry = listSchema + QStringLiteral(".custom-keybinding:") + usersPath;
    session.gsettings({QStringLiteral("set"), usersEntry, QStringLiteral("name"), QStringLiteral("Mine")});
    session.gsettings({QStringLiteral("set"), usersEntry, QStringLiteral("command"),
                       QStringLiteral("/bin/sh ") + program.dir() + QStringLiteral("/user/mark.sh")});
    session.gsettings({QStringLiteral("set"), usersEntry, QStringLiteral("binding"), QStringLiteral("<Super><Alt>u")});
    session.gsettings({QStringLiteral("set"), listSchema, listKey, QStringLiteral("['%1']").arg(usersPath)});
    const QString before = session.list();
    ASSERT_EQ(before, QStringLiteral("['%1']").arg(usersPath));
    const QStringList usersKeys{QStringLiteral("Super_L"), QStringLiteral("Alt_L"), QStringLiteral("u")};
    ASSERT_TRUE(session.pressLaunches(usersKeys, usersOwn)) << session.transcript();

    const LaunchMarker marker(program.dir());
    const Button mark{QUuid::createUuid(), QStringLiteral("Mark"), QStringLiteral("⌘ + ⌥ + F"), marker.url()};
    const Button apps{QUuid::createUuid(), QStringLiteral("Apps"), QStringLiteral("⌘ + A"), marker.url()};
    const QString buttonFile = session.home() + QStringLiteral("/.vantorel");
    ASSERT_TRUE(writeButtons(buttonFile, {mark, apps}));
    const QString markPath = base + QStringLiteral("vantorel-") + actionIdOf(mark.id) + QLatin1Char('/');

    // Chosen on its own in a GNOME Wayland session without the portal's
    // shortcuts.
    program.environment() = session.environment();
    program.environment().insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    ASSERT_TRUE(program.start({QStringLiteral(VANTOREL_BINARY)}));
    ASSERT_TRUE(program.waitForOutput("GNOME: the shortcuts wait for your consent")) << program.transcript();
    EXPECT_EQ(session.list(), before) << "nothing is written before the user agrees";

    // Consent from a terminal while the program runs; the program follows.
    int status = -1;
    const QString added = session.run(QStringLiteral(VANTOREL_BINARY), {QStringLiteral("--add-desktop-shortcuts")}, &status);
    EXPECT_EQ(status, 0) << added.toStdString();
    EXPECT_TRUE(added.contains(QStringLiteral("Added “Mark” on Super+Alt+F"))) << added.toStdString();
    EXPECT_TRUE(added.contains(QStringLiteral("Not added “Apps”: Super+A is GNOME's Keybinding to open the "
                                              "“Show Applications” view")))
        << added.toStdString();
    EXPECT_TRUE(program.waitForOutput("GNOME: consent given from another process")) << program.transcript();
    EXPECT_TRUE(program.waitForOutput("Super+A is GNOME's Keybinding to open the “Show Applications” view"))
        << program.transcript();
    EXPECT_EQ(session.list(), QStringLiteral("['%1', '%2']").arg(usersPath, markPath));
    EXPECT_EQ(session.entryKey(markPath, QStringLiteral("name")), QStringLiteral("'Vantorel: Mark'"));
    EXPECT_EQ(session.entryKey(markPath, QStringLiteral("binding")), QStringLiteral("'<Alt><Super>f'"));
    EXPECT_EQ(session.entryKey(markPath, QStringLiteral("command")),
              QStringLiteral("'%1 --activate %2'").arg(QFileInfo(QStringLiteral(VANTOREL_BINARY)).canonicalFilePath(),
                                                      actionIdOf(mark.id)));

    const QStringList superAltF{QStringLiteral("Super_L"), QStringLiteral("Alt_L"), QStringLiteral("f")};
    const QStringList superAltG{QStringLiteral("Super_L"), QStringLiteral("Alt_L"), QStringLiteral("g")};
    EXPECT_TRUE(session.pressLaunches(superAltF, marker)) << program.transcript();
    EXPECT_TRUE(program.waitForOutput("⌨️ Activated by command: Mark")) << program.transcript();
    EXPECT_TRUE(session.pressLaunches(usersKeys, usersOwn));

    // Renamed and on other keys: the entry follows, and so do the keys.
    ASSERT_TRUE(writeButtons(buttonFile, {{mark.id, QStringLiteral("Marked"), QStringLiteral("⌘ + ⌥ + G"), mark.target},
                                          apps}));
    EXPECT_TRUE(runEventLoopUntil(
        [&] { return session.entryKey(markPath, QStringLiteral("binding")) == QStringLiteral("'<Alt><Super>g'"); }, 10000))
        << program.transcript();
    EXPECT_EQ(session.entryKey(markPath, QStringLiteral("name")), QStringLiteral("'Vantorel: Marked'"));
    EXPECT_EQ(session.list(), QStringLiteral("['%1', '%2']").arg(usersPath, markPath));
    EXPECT_TRUE(session.pressLaunches(superAltG, marker)) << program.transcript();
    EXPECT_TRUE(session.pressLaunchesNothing(superAltF, marker));
    EXPECT_TRUE(session.pressLaunches(usersKeys, usersOwn));

    // Deleted: out of the list, its keys reset, its keys fire nothing.
    ASSERT_TRUE(writeButtons(buttonFile, {apps}));
    EXPECT_TRUE(runEventLoopUntil([&] { return session.list() == before; }, 10000)) << session.list().toStdString();
    // The keys are reset after the path left the list, as GNOME Settings does.
    EXPECT_TRUE(runEventLoopUntil(
        [&] { return session.entryKey(markPath, QStringLiteral("binding")) == QStringLiteral("''"); }, 10000))
        << program.transcript();
    EXPECT_EQ(session.entryKey(markPath, QStringLiteral("name")), QStringLiteral("''"));
    EXPECT_TRUE(session.pressLaunchesNothing(superAltG, marker));
    EXPECT_TRUE(session.pressLaunches(usersKeys, usersOwn));

    // Back, then the program quits: the entry stays, and a press starts it.
    ASSERT_TRUE(writeButtons(buttonFile, {mark, apps}));
    EXPECT_TRUE(runEventLoopUntil(
        [&] { return session.list() == QStringLiteral("['%1', '%2']").arg(usersPath, markPath); }, 10000));
    EXPECT_EQ(program.terminate(), 0) << program.transcript();
    EXPECT_EQ(session.list(), QStringLiteral("['%1', '%2']").arg(usersPath, markPath));
    // One press: a second one would find the program still starting.
    const int launched = marker.launches();
    session.press(superAltF);
    EXPECT_TRUE(runEventLoopUntil([&] { return marker.launches() > launched; }, 20000)) << session.transcript();
    EXPECT_FALSE(runEventLoopUntil([&] { return marker.launches() > launched + 1; }, 500));

    // Taken out again from a terminal: GNOME's list as it was before.
    const QString removed
        = session.run(QStringLiteral(VANTOREL_BINARY), {QStringLiteral("--remove-desktop-shortcuts")}, &status);
    EXPECT_EQ(status, 0) << removed.toStdString();
    EXPECT_EQ(session.list(), before);
    EXPECT_EQ(session.entryKey(markPath, QStringLiteral("command")), QStringLiteral("''"));
    EXPECT_TRUE(session.pressLaunchesNothing(superAltF, marker));
    EXPECT_TRUE(session.pressLaunches(usersKeys, usersOwn));

    for (const pid_t pid : programsOfSession(session.home()))
        ::kill(pid, SIGTERM);
}
} // namespace
