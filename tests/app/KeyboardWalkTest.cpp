#include "ButtonFileWriter.h"
#include "EventLoopWait.h"
#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "RequiredTool.h"
#include "XvfbServer.h"

#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

// The editor from the keyboard alone, keys typed through XTest (xdotool) on a
// private X server: add a button, record its shortcut, Tab to Save, save,
// delete it, undo; Escape ends a recording and keeps the shortcut.
namespace {
class KeyboardWalkTest : public ::testing::Test {
protected:
    std::optional<QByteArray> xdotool(const QStringList &arguments) const
    {
        return program->runTool(QStringLiteral("xdotool"), arguments);
    }
    // Types these key names (xdotool's, "super+alt+w") into the focused window.
    bool keys(const QStringList &names)
    {
        const bool typed = xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80")} + names)
                               .has_value();
        runEventLoopUntil([] { return false; }, 200); // what the keys did reaches the program
        return typed;
    }
    bool type(const QString &text)
    {
        return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), text}).has_value();
    }
    bool windowShown(const QString &title)
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                        QLatin1Char('^') + title + QLatin1Char('$')})
            .has_value();
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

TEST_F(KeyboardWalkTest, AddRecordSaveDeleteAndUndoWithoutTheMouse)
{
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.error().toStdString();
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    VANTOREL_REQUIRE_PROGRAM("xdotool");
    program = std::make_unique<ProgramRun>(xvfb.display(), QStringLiteral("xcb"));
    ButtonFileWriter file;
    file.add(QStringLiteral("First"), QStringLiteral("⌘ + ⌥ + F"), QStringLiteral("file:///bin/true"));
    ASSERT_TRUE(file.writeTo(program->buttonFile()));
    // No tray on this display: the editor opens at start-up, in front.
    ASSERT_TRUE(program->start({QStringLiteral(VANTOREL_BINARY)}));
    ASSERT_TRUE(program->waitForOutput("🎹 Registering shortcuts for")) << program->transcript();
    ASSERT_TRUE(waitForWindow(QStringLiteral("Shortcuts Editor")));

    // Tab reaches the list first, then "+": Space adds and opens the form.
    ASSERT_TRUE(keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")}));
    ASSERT_TRUE(waitForWindow(QStringLiteral("Edit Button"))) << focusedWindow().toStdString() << program->transcript();
    ASSERT_TRUE(fileHas(QStringLiteral("New Button")));

    // The name has the focus; Tab records, and from the shortcut Tab goes on
    // (clear, target, Browse, launch choice, Cancel) to Save.
    ASSERT_TRUE(keys({QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(type(QStringLiteral("Walked")));
    ASSERT_TRUE(keys({QStringLiteral("Tab"), QStringLiteral("super+alt+w")}));
    ASSERT_TRUE(keys({QStringLiteral("Tab"), QStringLiteral("Tab")}));
    ASSERT_TRUE(type(QStringLiteral("/bin/true")));
    ASSERT_TRUE(keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"),
                      QStringLiteral("space")}));
    ASSERT_TRUE(program->waitForOutput("💾 Saving edited button: Walked with shortcut: ⌘ + ⌥ + W"))
        << program->transcript();
    ASSERT_TRUE(waitForWindow(QStringLiteral("Edit Button"), false));
    EXPECT_TRUE(fileHas(QStringLiteral("\"shortcut\":\"⌘ + ⌥ + W\"")));
    EXPECT_TRUE(fileHas(QStringLiteral("file:///bin/true")));

    // Back in the list, on the saved row: Delete takes it away, Ctrl+Z brings it back.
    ASSERT_TRUE(keys({QStringLiteral("shift+Tab"), QStringLiteral("Delete")}));
    EXPECT_TRUE(fileHas(QStringLiteral("Walked"), false)) << program->transcript();
    ASSERT_TRUE(keys({QStringLiteral("ctrl+z")}));
    EXPECT_TRUE(fileHas(QStringLiteral("Walked"))) << program->transcript();

    // F2 edits it; Escape ends a recording and keeps the shortcut, so Return then saves it unchanged.
    ASSERT_TRUE(keys({QStringLiteral("F2")}));
    ASSERT_TRUE(waitForWindow(QStringLiteral("Edit Button")));
    ASSERT_TRUE(keys({QStringLiteral("Tab"), QStringLiteral("Escape")}));
    EXPECT_TRUE(windowShown(QStringLiteral("Edit Button"))) << "the first Escape only ended the recording";
    ASSERT_TRUE(keys({QStringLiteral("Return")}));
    EXPECT_TRUE(waitForWindow(QStringLiteral("Edit Button"), false));
    EXPECT_EQ(program->output().count("💾 Saving edited button: Walked with shortcut: ⌘ + ⌥ + W"), 2)
        << program->transcript();
    EXPECT_EQ(program->terminate(), 0);
}
} // namespace
