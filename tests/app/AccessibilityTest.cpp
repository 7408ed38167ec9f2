#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "LaunchMarker.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "RequiredTool.h"
#include "XvfbServer.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <gtest/gtest.h>

// The editor as a screen reader such as Orca meets it: the real program under
// a private X server with the accessibility bus, walked and driven through
// AT-SPI by tests/app/atspi_editor.py.
namespace {
const QString python = QStringLiteral("/usr/bin/python3");
const QString launcher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");

class AccessibilityTest : public ::testing::Test {
protected:
    // The script's JSON lines; empty on failure (with the reason in error).
    QList<QJsonObject> walk(const QStringList &arguments)
    {
        QProcess script;
        script.setProcessEnvironment(program->environment());
        script.start(python, QStringList{QStringLiteral(ATSPI_WALK_SCRIPT)} + arguments);
        const bool done = script.waitForFinished(ProgramRun::timeoutMs);
        lastError = QString::fromUtf8(script.readAllStandardError());
        QList<QJsonObject> lines;
        if (!done || script.exitCode() != 0)
            return lines;
        for (const QByteArray &line : script.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty())
                lines.append(QJsonDocument::fromJson(line).object());
        }
        return lines;
    }

    XvfbServer xvfb;
    PrivateSessionBus bus;
    std::unique_ptr<ProgramRun> accessibilityBus;
    std::unique_ptr<ProgramRun> program;
    QString lastError;
};

TEST_F(AccessibilityTest, EachRowSaysItsNameAndShortcutAndItsActionsLaunchEditAndDelete)
{
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    if (!QFile::exists(launcher))
        VANTOREL_SKIP_OR_FAIL("at-spi2-core is not installed (scripts/install-deps.sh)");
    if (QProcess::execute(python, {QStringLiteral("-c"),
                                   QStringLiteral("import gi; gi.require_version('Atspi', '2.0')")}) != 0)
        VANTOREL_SKIP_OR_FAIL("python3-gi with gir1.2-atspi-2.0 is not installed (scripts/install-deps.sh)");

    // Made after the bus and the server: they take both addresses along.
    accessibilityBus = std::make_unique<ProgramRun>(xvfb.display(), QStringLiteral("xcb"));
    ASSERT_TRUE(accessibilityBus->start({launcher, QStringLiteral("--launch-immediately")}));
    program = std::make_unique<ProgramRun>(xvfb.display(), QStringLiteral("xcb"));
    program->environment().insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("1"));
    program->environment().insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    const LaunchMarker marker(program->dir());
    ButtonFileWriter file;
    file.add(QStringLiteral("Marker"), QStringLiteral("⌘ + ⌥ + M"), marker.url());
    file.add(QStringLiteral("Second"), QStringLiteral("cmd+k"), QStringLiteral("file:///bin/true"));
    ASSERT_TRUE(file.writeTo(program->buttonFile()));
    // No tray on this display: the editor opens at start-up.
    ASSERT_TRUE(program->start({QStringLiteral(VANTOREL_BINARY)}));
    ASSERT_TRUE(program->waitForOutput("🎹 Registering shortcuts for")) << program->transcript();

    const QList<QJsonObject> rows = walk({QStringLiteral("rows")});
    ASSERT_EQ(rows.size(), 2) << lastError.toStdString() << program->transcript();
    const QStringList actions{QStringLiteral("Launch"), QStringLiteral("Edit"), QStringLiteral("Delete")};
    const std::pair<const char *, const char *> expected[] = {{"Marker", "⌘ + ⌥ + M"}, {"Second", "⌘ + K"}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows.at(i).value(QStringLiteral("role")).toString(), QStringLiteral("list item"));
        EXPECT_EQ(rows.at(i).value(QStringLiteral("name")).toString(), QString::fromUtf8(expected[i].first));
        const QString description = rows.at(i).value(QStringLiteral("description")).toString();
        EXPECT_TRUE(description.contains(QString::fromUtf8(expected[i].second))) << description.toStdString();
        EXPECT_TRUE(description.contains(QStringLiteral("Hotkey works"))) << description.toStdString();
        EXPECT_EQ(rows.at(i).value(QStringLiteral("actions")).toVariant().toStringList(), actions);
    }

    walk({QStringLiteral("act"), QStringLiteral("0"), QStringLiteral("Launch")});
    EXPECT_TRUE(runEventLoopUntil([&] { return marker.launches() == 1; }, ProgramRun::timeoutMs)) << lastError.toStdString();

    walk({QStringLiteral("act"), QStringLiteral("1"), QStringLiteral("Edit")});
    const QList<QJsonObject> form = walk({QStringLiteral("form")});
    ASSERT_EQ(form.size(), 1) << lastError.toStdString() << program->transcript();
    const QJsonObject fields = form.at(0).value(QStringLiteral("fields")).toObject();
    SCOPED_TRACE(QJsonDocument(fields).toJson().toStdString());
    EXPECT_EQ(fields.value(QStringLiteral("Name")).toString(), QStringLiteral("Second")) << "a field named by its label";
    EXPECT_EQ(fields.value(QStringLiteral("Shortcut")).toString(), QStringLiteral("⌘ + K"));
    EXPECT_EQ(fields.value(QStringLiteral("Application or URL")).toString(), QStringLiteral("file:///bin/true"));
    ASSERT_TRUE(program->waitForOutput("✏️ Starting edit for button: Second"));

    walk({QStringLiteral("act"), QStringLiteral("1"), QStringLiteral("Delete")});
    EXPECT_TRUE(runEventLoopUntil([&] { return !program->buttonFileText().contains(QStringLiteral("Second")); },
                                  ProgramRun::timeoutMs))
        << lastError.toStdString();
    EXPECT_TRUE(program->buttonFileText().contains(QStringLiteral("Marker")));
    const QList<QJsonObject> left = walk({QStringLiteral("rows")});
    ASSERT_EQ(left.size(), 1) << lastError.toStdString();
    EXPECT_EQ(left.at(0).value(QStringLiteral("name")).toString(), QStringLiteral("Marker"));
    EXPECT_EQ(marker.launches(), 1) << "only the launch launched";
    EXPECT_EQ(program->terminate(), 0);
}
} // namespace
