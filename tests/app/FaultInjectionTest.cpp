#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "ProgramRun.h"
#include "XvfbServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

// The real program facing a broken environment: a button file it cannot
// use, a home it cannot write, an X server that dies under it. Whatever
// happens, it says what is wrong in one line and loses nothing.
namespace {
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

// Runs HOME read-only for the program alone: a private mount namespace with
// HOME bound onto itself read-only (root, as the tests run, ignores file
// modes).
const QStringList readOnlyHomeWrapper = QStringLiteral("unshare --mount -- sh -c").split(u' ') + QStringList{
    QStringLiteral("mount --bind \"$HOME\" \"$HOME\" && mount -o remount,bind,ro \"$HOME\" && exec \"$@\""),
    QStringLiteral("read-only-home")};

std::function<bool(const QString &)> writes(const QByteArray &bytes)
{
    return [bytes](const QString &path) { return writeFile(path, bytes); };
}

QByteArray randomBytes()
{
    QByteArray bytes(4096, Qt::Uninitialized);
    QRandomGenerator(20261206).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes;
}

struct Fault {
    const char *name;
    std::function<bool(const QString &buttonFile)> put; // puts the fault in place
    const char *line;                                   // how the program names it
    bool readOnlyHome = false;
};

const Fault faults[] = {
    {"Directory",
     [](const QString &path) { return QDir().mkpath(path) && writeFile(path + QStringLiteral("/inside"), "kept"); },
     "❌ Error loading buttons: %1 is a directory"},
    {"RandomBytes", writes(randomBytes()), "❌ Error loading buttons: not valid JSON ("},
    {"InvalidUtf8InValidJson",
     writes(R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Caf)" "\xe9\xff" R"(","shortcut":"⌘ + ⌥ + E"}])"),
     "❌ Error loading buttons: not valid JSON (invalid UTF8 string at byte"},
    {"DeepNesting", writes(QByteArray(100000, '[')),
     "❌ Error loading buttons: not valid JSON (too deeply nested document at byte"},
    {"FiftyMegabytes",
     [](const QString &path) { return writeFile(path, "[") && QFile::resize(path, 50 * 1024 * 1024); },
     "❌ Error loading buttons: %1 is too large (50.0 MB; the limit is 16.0 MB)"},
    {"ReadOnlyHome", [](const QString &) { return true; }, "❌ Error saving buttons: cannot write %1: ", true},
};

class FaultInjectionTest : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultInjectionTest, StartsSaysWhatIsWrongOnceKeepsEverythingAndEndsCleanly)
{
    ASSERT_TRUE(sharedXvfb().isRunning()) << sharedXvfb().error().toStdString();
    const Fault &fault = GetParam();
    ProgramRun run(sharedXvfb().display());
    ASSERT_TRUE(fault.put(run.buttonFile()));
    const QMap<QString, QByteArray> before = snapshot(run.home());

    run.start((fault.readOnlyHome ? readOnlyHomeWrapper : QStringList())
              + QStringList{QStringLiteral(VANTOREL_BINARY)});
    const bool started = run.waitForOutput("🎹 Registering shortcuts for");
    if (!started && fault.readOnlyHome && (run.errors().contains("unshare") || run.errors().contains("mount")))
        GTEST_SKIP() << "cannot bind-mount HOME read-only here (needs unshare and mount as root)";
    ASSERT_TRUE(started) << run.transcript();
    const QByteArray line = QString::fromUtf8(fault.line).replace(QStringLiteral("%1"), run.buttonFile()).toUtf8();
    EXPECT_EQ(run.output().count(line), 1) << run.transcript();
    EXPECT_EQ(run.output().count("❌"), 1) << run.transcript();
    EXPECT_EQ(run.terminate(), 0) << run.transcript();
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
    ButtonFileWriter buttons;
    buttons.add(QStringLiteral("True"), QStringLiteral("⌘ + ⌥ + E"), QStringLiteral("file:///bin/true"));
    ASSERT_TRUE(buttons.writeTo(run.buttonFile()));
    const QMap<QString, QByteArray> before = snapshot(run.home());
    run.start({QStringLiteral(VANTOREL_BINARY)});
    ASSERT_TRUE(run.waitForOutput("✅ Successfully registered shortcut: E")) << run.transcript();
    // The grabs come before the toolkit is set up; this is about a program
    // that has finished starting.
    runEventLoopUntil([] { return false; }, 1000);

    xvfb.crash();
    EXPECT_EQ(run.waitForExit(), 1) << run.transcript();
    EXPECT_EQ(run.output().count("❌ Lost the connection to the X server, quitting"), 1) << run.transcript();
    EXPECT_EQ(snapshot(run.home()), before);
}

INSTANTIATE_TEST_SUITE_P(Platforms, XServerLossTest, ::testing::Values("xcb", "offscreen"),
                         [](const auto &info) { return std::string(info.param); });
} // namespace
