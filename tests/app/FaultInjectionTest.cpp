#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

// The real program facing a broken environment: a button file it cannot
// use, a home it cannot write, an X server that dies under it. Whatever
// happens, it says what is wrong in one line and loses nothing.
namespace {
constexpr int timeoutMs = 15000;

// Every entry under root by relative path: a file's bytes, a folder as "/".
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        entries.insert(QDir(root).relativeFilePath(path),
                       it.fileInfo().isDir() ? QByteArray("/") : (file.open(QIODevice::ReadOnly) ? file.readAll() : "?"));
    }
    return entries;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The program with a temporary HOME on the given X server, its standard
// output collected as it comes.
class ProgramRun {
public:
    ProgramRun(const QString &display, const QString &platform)
    {
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("HOME"), home());
        // Kept out of HOME, so that HOME holds only what a case puts there.
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        m_environment.insert(QStringLiteral("TMPDIR"), m_dir.path()); // the single-instance socket
        m_environment.insert(QStringLiteral("DISPLAY"), display);
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        QDir().mkpath(home());
    }

    ~ProgramRun()
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished(timeoutMs);
        }
    }

    QString home() const { return m_dir.filePath(QStringLiteral("home")); }
    QString buttonFile() const { return home() + QStringLiteral("/.vantorel"); }

    // The program itself, or through a wrapper command that execs it last.
    void start(const QStringList &wrapper = {})
    {
        m_program.setProcessEnvironment(m_environment);
        const QStringList command = wrapper + QStringList{QStringLiteral(VANTOREL_BINARY)};
        m_program.start(command.first(), command.mid(1));
    }

    bool waitForOutput(const QByteArray &text)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!read().contains(text)) {
            if (deadline.hasExpired() || m_program.state() == QProcess::NotRunning)
                return read().contains(text);
            m_program.waitForReadyRead(100);
        }
        return true;
    }

    bool waitForExit() { return m_program.waitForFinished(timeoutMs); }
    QProcess &process() { return m_program; }

    const QByteArray &read()
    {
        m_output += m_program.readAllStandardOutput();
        m_errors += m_program.readAllStandardError();
        return m_output;
    }
    // Both channels, for failure messages.
    std::string transcript() { return (read() + "--- stderr:\n" + m_errors).toStdString(); }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    QProcess m_program;
    QByteArray m_output;
    QByteArray m_errors;
};

XvfbServer &sharedXvfb()
{
    static XvfbServer server;
    return server;
}

// Runs HOME read-only for the program alone: a private mount namespace with
// HOME bound onto itself read-only (root, as the tests run, ignores file
// modes).
const QStringList readOnlyHomeWrapper{
    QStringLiteral("unshare"), QStringLiteral("--mount"), QStringLiteral("--"), QStringLiteral("sh"),
    QStringLiteral("-c"),
    QStringLiteral("mount --bind \"$HOME\" \"$HOME\" && mount -o remount,bind,ro \"$HOME\" && exec \"$@\""),
    QStringLiteral("read-only-home")};

bool readOnlyHomeWorks(const QString &home)
{
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    probe.setProcessEnvironment(environment);
    // The wrapper execs its arguments: here a check that writing fails.
    probe.start(readOnlyHomeWrapper.first(),
                readOnlyHomeWrapper.mid(1)
                    + QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                                  QStringLiteral("! touch \"$HOME/probe\" 2>/dev/null")});
    return probe.waitForFinished(timeoutMs) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

struct Fault {
    const char *name;
    std::function<bool(const QString &buttonFile)> put; // puts the fault in place
    const char *line;                                   // how the program names it
    bool readOnlyHome = false;
};

QByteArray randomBytes()
{
    QRandomGenerator generator(20261206);
    QByteArray bytes(4096, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

const Fault faults[] = {
    {"Directory",
     [](const QString &path) { return QDir().mkpath(path) && writeFile(path + QStringLiteral("/inside"), "kept"); },
     "❌ Error loading buttons: %1 is a directory"},
    {"RandomBytes", [](const QString &path) { return writeFile(path, randomBytes()); },
     "❌ Error loading buttons: not valid JSON ("},
    {"InvalidUtf8InValidJson",
     [](const QString &path) {
         return writeFile(path, R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Caf)" "\xe9\xff"
                                R"(","shortcut":"⌘ + ⌥ + E"}])");
     },
     "❌ Error loading buttons: not valid JSON (invalid UTF8 string at byte"},
    {"DeepNesting", [](const QString &path) { return writeFile(path, QByteArray(100000, '[')); },
     "❌ Error loading buttons: not valid JSON (too deeply nested document at byte"},
    {"FiftyMegabytes",
     [](const QString &path) {
         QFile file(path);
         return file.open(QIODevice::WriteOnly) && file.write("[") == 1 && file.resize(50 * 1024 * 1024);
     },
     "❌ Error loading buttons: %1 is too large (50.0 MB; the limit is 16.0 MB)"},
    {"ReadOnlyHome", [](const QString &) { return true; }, "❌ Error saving buttons: cannot write %1: ", true},
};

class FaultInjectionTest : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultInjectionTest, StartsSaysWhatIsWrongOnceKeepsEverythingAndEndsCleanly)
{
    ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
    const Fault &fault = GetParam();
    ProgramRun run(sharedXvfb().display(), QStringLiteral("offscreen"));
    if (fault.readOnlyHome && !readOnlyHomeWorks(run.home()))
        GTEST_SKIP() << "cannot bind-mount HOME read-only here (needs unshare and mount as root)";
    ASSERT_TRUE(fault.put(run.buttonFile()));
    const QMap<QString, QByteArray> before = snapshot(run.home());

    run.start(fault.readOnlyHome ? readOnlyHomeWrapper : QStringList{});
    const QByteArray line = QString::fromUtf8(fault.line).replace(QStringLiteral("%1"), run.buttonFile()).toUtf8();
    ASSERT_TRUE(run.waitForOutput("🎹 Registering shortcuts for")) << run.transcript();
    EXPECT_EQ(run.read().count(line), 1) << run.transcript();
    EXPECT_EQ(run.read().count("❌"), 1) << run.transcript();

    run.process().terminate();
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0) << run.transcript();
    EXPECT_EQ(snapshot(run.home()), before);
}

INSTANTIATE_TEST_SUITE_P(ButtonFile, FaultInjectionTest, ::testing::ValuesIn(faults),
                         [](const auto &info) { return std::string(info.param.name); });

// The X server dies under the running program: Qt's xcb plugin and the
// program's own connection both see it; either way the program says so on
// standard output and leaves with status 1.
class XServerLossTest : public ::testing::TestWithParam<const char *> {};

TEST_P(XServerLossTest, SaysSoAndQuitsWithStatusOneLeavingTheButtonFileAlone)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    ProgramRun run(xvfb.display(), QString::fromLatin1(GetParam()));
    ASSERT_TRUE(writeFile(run.buttonFile(), R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"True",)"
                                            R"("shortcut":"⌘ + ⌥ + E","appURLString":"file:///bin/true"}])"));
    const QMap<QString, QByteArray> before = snapshot(run.home());
    run.start();
    ASSERT_TRUE(run.waitForOutput("✅ Successfully registered shortcut: E")) << run.transcript();

    xvfb.crash();
    ASSERT_TRUE(run.waitForExit()) << run.transcript();
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit) << run.transcript();
    EXPECT_EQ(run.process().exitCode(), 1) << run.transcript();
    EXPECT_EQ(run.read().count("❌ Lost the connection to the X server, quitting"), 1) << run.transcript();
    EXPECT_EQ(snapshot(run.home()), before);
}

INSTANTIATE_TEST_SUITE_P(Platforms, XServerLossTest, ::testing::Values("xcb", "offscreen"),
                         [](const auto &info) { return std::string(info.param); });
} // namespace
