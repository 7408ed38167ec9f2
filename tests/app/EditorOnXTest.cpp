#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "LaunchMarker.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "RequiredTool.h"
#include "XvfbServer.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <array>
#include <memory>

// The real program's editor on a private X server with a private bus, as a user meets it: from
// the keyboard alone (keys typed through XTest by xdotool), through a screen reader's eyes (AT-SPI,
// walked by tests/app/atspi_editor.py), and shown by a second start.
namespace {
const QString python = QStringLiteral("/usr/bin/python3");
const QString atspiLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");

class EditorOnXTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        VANTOREL_REQUIRE_PROGRAM("xdotool");
        // Made after the bus and the server: it takes both addresses along.
        program = std::make_unique<ProgramRun>(xvfb.display(), QStringLiteral("xcb"));
    }

    // Starts the program with these buttons (name, shortcut, target) and waits until it binds them.
    void start(const QList<std::array<QString, 3>> &buttons)
    {
        ButtonFileWriter file;
        for (const auto &[name, shortcut, target] : buttons)
            file.add(name, shortcut, target);
        ASSERT_TRUE(file.writeTo(program->buttonFile()));
        ASSERT_TRUE(program->start({QStringLiteral(VANTOREL_BINARY)}));
        ASSERT_TRUE(program->waitForOutput("🎹 Registering shortcuts for")) << program->transcript();
    }

    std::optional<QByteArray> xdotool(const QStringList &arguments) const
    {
        return program->runTool(QStringLiteral("xdotool"), arguments);
    }
    // Types these key names (xdotool's, "Tab super+alt+w") into the focused window.
    bool keys(const QString &names)
    {
        const QStringList command{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80")};
        const bool typed = xdotool(command + names.split(u' ')).has_value();
        runEventLoopUntil([] { return false; }, 200); // what the keys did reaches the program
        return typed;
    }
    bool type(const QString &text)
    {
        return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), text}).has_value();
    }
    bool windowShown(const QString &title, const QString &how = QStringLiteral("--name"))
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), how, QLatin1Char('^') + title + QLatin1Char('$')}).has_value();
    }
    QString focusedWindow()
    {
        return QString::fromUtf8(
            xdotool({QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")}).value_or(QByteArray())).trimmed();
    }
    // Shown, or gone; a window shown must also have the keyboard.
    bool waitForWindow(const QString &title, bool shown = true)
    {
        return runEventLoopUntil(
            [&] { return windowShown(title) == shown && (!shown || focusedWindow() == title); },
            ProgramRun::timeoutMs);
    }
    bool fileHas(const QString &text, bool has = true)
    {
        return runEventLoopUntil([&] { return program->buttonFileText().contains(text) == has; }, ProgramRun::timeoutMs);
    }

    XvfbServer xvfb;
    PrivateSessionBus bus;
    std::unique_ptr<ProgramRun> program;
};

// Add a button, record its shortcut, Tab to Save, save, delete it, undo; Escape ends a
// recording and keeps the shortcut.
TEST_F(EditorOnXTest, AddRecordSaveDeleteAndUndoWithoutTheMouse)
{
    // No tray on this display: the editor opens at start-up, in front.
    ASSERT_NO_FATAL_FAILURE(start({{QStringLiteral("First"), QStringLiteral("⌘ + ⌥ + F"), QStringLiteral("file:///bin/false")}}));
    ASSERT_TRUE(waitForWindow(QStringLiteral("Shortcuts Editor")));

    // Tab reaches the list first, then "+": Space adds and opens the form.
    ASSERT_TRUE(keys(QStringLiteral("Tab Tab space")));
    ASSERT_TRUE(waitForWindow(QStringLiteral("Edit Button"))) << focusedWindow().toStdString() << program->transcript();
    ASSERT_TRUE(fileHas(QStringLiteral("New Button")));

    // The name has the focus; Tab records, and from the shortcut Tab goes on
    // (clear, target, Browse, launch choice, Cancel) to Save.
    ASSERT_TRUE(keys(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(type(QStringLiteral("Walked")));
    ASSERT_TRUE(keys(QStringLiteral("Tab super+alt+w")));
    ASSERT_TRUE(keys(QStringLiteral("Tab Tab")));
    ASSERT_TRUE(type(QStringLiteral("/bin/true")));
    ASSERT_TRUE(keys(QStringLiteral("Tab Tab Tab Tab space")));
    ASSERT_TRUE(program->waitForOutput("💾 Saving edited button: Walked with shortcut: ⌘ + ⌥ + W"))
        << program->transcript();
    ASSERT_TRUE(waitForWindow(QStringLiteral("Edit Button"), false));
    EXPECT_TRUE(fileHas(QStringLiteral("\"shortcut\":\"⌘ + ⌥ + W\"")));
    EXPECT_TRUE(fileHas(QStringLiteral("file:///bin/true")));

    // Back in the list, on the saved row: Delete takes it away, Ctrl+Z brings it back.
    ASSERT_TRUE(keys(QStringLiteral("shift+Tab Delete")));
    EXPECT_TRUE(fileHas(QStringLiteral("Walked"), false)) << program->transcript();
    ASSERT_TRUE(keys(QStringLiteral("ctrl+z")));
    EXPECT_TRUE(fileHas(QStringLiteral("Walked"))) << program->transcript();

    // F2 edits it; Escape ends a recording and keeps the shortcut, so Return then saves it unchanged.
    ASSERT_TRUE(keys(QStringLiteral("F2")));
    ASSERT_TRUE(waitForWindow(QStringLiteral("Edit Button")));
    ASSERT_TRUE(keys(QStringLiteral("Tab Escape")));
    EXPECT_TRUE(windowShown(QStringLiteral("Edit Button"))) << "the first Escape only ended the recording";
    ASSERT_TRUE(keys(QStringLiteral("Return")));
    EXPECT_TRUE(waitForWindow(QStringLiteral("Edit Button"), false));
    EXPECT_EQ(program->output().count("💾 Saving edited button: Walked with shortcut: ⌘ + ⌥ + W"), 2)
        << program->transcript();
    EXPECT_EQ(program->terminate(), 0);
}

// As a screen reader such as Orca meets the editor: each row says its name and shortcut, and
// its actions launch, edit and delete.
TEST_F(EditorOnXTest, EachRowSaysItsNameAndShortcutAndItsActionsLaunchEditAndDelete)
{
    if (!QFile::exists(atspiLauncher))
        VANTOREL_SKIP_OR_FAIL("at-spi2-core is not installed (scripts/install-deps.sh)");
    if (QProcess::execute(python, {QStringLiteral("-c"),
                                   QStringLiteral("import gi; gi.require_version('Atspi', '2.0')")}) != 0)
        VANTOREL_SKIP_OR_FAIL("python3-gi with gir1.2-atspi-2.0 is not installed (scripts/install-deps.sh)");
    ProgramRun accessibilityBus(xvfb.display(), QStringLiteral("xcb"));
    ASSERT_TRUE(accessibilityBus.start({atspiLauncher, QStringLiteral("--launch-immediately")}));
    program->environment().insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("1"));
    program->environment().insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    const LaunchMarker marker(program->dir());
    ASSERT_NO_FATAL_FAILURE(start({{QStringLiteral("Marker"), QStringLiteral("⌘ + ⌥ + M"), marker.url()},
                                   {QStringLiteral("Second"), QStringLiteral("cmd+k"), QStringLiteral("file:///bin/true")}}));
    // The script's JSON lines; empty on failure (with the reason in lastError).
    QString lastError;
    const auto walk = [&](const QStringList &arguments) {
        const auto script = program->runBeside(QStringList{python, QStringLiteral(ATSPI_WALK_SCRIPT)} + arguments);
        lastError = QString::fromUtf8(script.errors);
        QList<QJsonObject> lines;
        for (const QByteArray &line : script.output.split('\n')) {
            if (script.exitCode == 0 && !line.isEmpty())
                lines.append(QJsonDocument::fromJson(line).object());
        }
        return lines;
    };

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
    EXPECT_TRUE(fileHas(QStringLiteral("Second"), false)) << lastError.toStdString();
    EXPECT_TRUE(program->buttonFileText().contains(QStringLiteral("Marker")));
    const QList<QJsonObject> left = walk({QStringLiteral("rows")});
    ASSERT_EQ(left.size(), 1) << lastError.toStdString();
    EXPECT_EQ(left.at(0).value(QStringLiteral("name")).toString(), QStringLiteral("Marker"));
    EXPECT_EQ(marker.launches(), 1) << "only the launch launched";
    EXPECT_EQ(program->terminate(), 0);
}

// With a tray the editor stays hidden at start-up, so only the second start can have shown it;
// the first start also puts itself in the session's autostart.
TEST_F(EditorOnXTest, SecondStartShowsTheRunningEditorAndExits)
{
    VANTOREL_REQUIRE_PROGRAM("trayer");
    ProgramRun tray(xvfb.display(), QStringLiteral("xcb"));
    ASSERT_TRUE(tray.start({QStringLiteral("trayer"), QStringLiteral("--SetDockType"), QStringLiteral("true")}));
    ASSERT_TRUE(runEventLoopUntil([&] { return windowShown(QStringLiteral("trayer"), QStringLiteral("--class")); },
                                  ProgramRun::timeoutMs));
    ASSERT_NO_FATAL_FAILURE(start({}));
    EXPECT_FALSE(windowShown(QStringLiteral("Shortcuts Editor")));

    const auto second = program->runBeside({QStringLiteral(VANTOREL_BINARY)});
    EXPECT_EQ(second.exitCode, 0) << second.output.toStdString() << second.errors.toStdString();
    EXPECT_TRUE(runEventLoopUntil([&] { return windowShown(QStringLiteral("Shortcuts Editor")); }, ProgramRun::timeoutMs));

    QFile entry(program->dir() + QStringLiteral("/config/autostart/org.vantorel.Vantorel.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString binary = QFileInfo(QStringLiteral(VANTOREL_BINARY)).canonicalFilePath();
    ASSERT_FALSE(binary.isEmpty());
    EXPECT_TRUE(entry.readAll().contains(("\nExec=" + binary + '\n').toUtf8()));
    EXPECT_TRUE(program->output().contains(("📍 App Location: " + binary + '\n').toUtf8())) << program->transcript();
    EXPECT_EQ(program->terminate(), 0);
}
} // namespace
