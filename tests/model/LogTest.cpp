#include "model/Log.h"

#include <QLoggingCategory>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {
// What the call writes to the descriptor (standard output or error).
QByteArray written(int descriptor, const std::function<void()> &call)
{
    QTemporaryFile capture;
    if (!capture.open())
        return {};
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved = ::dup(descriptor);
    ::dup2(capture.handle(), descriptor);
    call();
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(saved, descriptor);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

// What one Log::line call puts on standard output.
QByteArray printed(const QString &text) { return written(STDOUT_FILENO, [&text] { Log::line(text); }); }

TEST(Log, WritesOneLineWhateverTheValueHolds)
{
    // What a logged value holds, and how the line shows it.
    const std::pair<QString, QByteArray> cases[] = {
        {QStringLiteral("Mail\n✅ Successfully registered shortcut: X"), "Mail\\n✅ Successfully registered shortcut: X"},
        {QStringLiteral("a\rb"), "a\\rb"},
        {QStringLiteral("\x1b[2J"), "\\u001b[2J"},
        {QString(QChar(0x7f)), "\\u007f"},
        {QString(QChar(0x9b)) + QStringLiteral("31m"), "\\u009b31m"}, // the one-character CSI
        {QString(QChar(0x2028)), "\\u2028"},
        {QStringLiteral("Tom & Jerry \\ ⌘ + ⌥ + F"), "Tom & Jerry \\ ⌘ + ⌥ + F"},
    };
    for (const auto &[value, shown] : cases)
        EXPECT_EQ(printed(QStringLiteral("🚀 ") + value), "🚀 " + shown + "\n") << shown.constData();
}

// Qt's own messages and the web engine's (a page's console among them, in
// the "js" category) keep standard error, one line each there too.
TEST(Log, OthersMessagesAreOneLineOnStandardErrorToo)
{
    static const QLoggingCategory js("js");
    const std::function<void()> messages[] = {
        [] { qWarning("x\r\n\u2705 Successfully registered shortcut: FORGED"); },
        [] { qCCritical(js, "x\r\n\u2705 Successfully registered shortcut: FORGED"); },
        [] { qCWarning(js).noquote() << QStringLiteral("x\u2028\x1b[2J\n\u2705 Successfully registered shortcut: FORGED"); },
    };
    for (const auto &message : messages) {
        const QByteArray error = written(STDERR_FILENO, message);
        EXPECT_EQ(error.count('\n'), 1) << error.constData();
        EXPECT_TRUE(error.endsWith("\\n\u2705 Successfully registered shortcut: FORGED\n")) << error.constData();
        EXPECT_FALSE(error.contains('\r') || error.contains('\x1b')) << error.constData();
    }
}

TEST(Log, HeldLinesComeOutInOrderWhenTheOutermostHoldEnds)
{
    QStringList lines;
    Log::setSink([&lines](const QString &line) { lines.append(line); });
    {
        const Log::Held outer;
        Log::line(QStringLiteral("one"));
        {
            const Log::Held inner;
            Log::line(QStringLiteral("two\n"));
        }
        EXPECT_TRUE(lines.isEmpty()) << "an inner hold ending writes nothing yet";
        Log::line(QStringLiteral("three"));
    }
    Log::line(QStringLiteral("four"));
    Log::setSink({});
    EXPECT_EQ(lines, (QStringList{"one", "two\\n", "three", "four"}));
}

// Held lines go out together (one write), word for word and escaped, and
// Qt's category rules still silence the program's lines, held or not.
TEST(Log, HeldLinesReachStandardOutputUnlessTheCategoryIsOff)
{
    const auto holdThree = [] {
        const Log::Held held;
        Log::line(QStringLiteral("⌨️ Shortcut pressed with ID: 3_2304"));
        Log::line(QStringLiteral("a\nb"));
        Log::line(QStringLiteral("📱 Launching app: file:///bin/true"));
    };
    EXPECT_EQ(written(STDOUT_FILENO, holdThree),
              "⌨️ Shortcut pressed with ID: 3_2304\na\\nb\n📱 Launching app: file:///bin/true\n");
    QLoggingCategory::setFilterRules(QStringLiteral("vantorel.info=false"));
    const QByteArray silenced = written(STDOUT_FILENO, [&holdThree] {
        holdThree();
        Log::line(QStringLiteral("not held"));
    });
    QLoggingCategory::setFilterRules({});
    EXPECT_EQ(silenced, "");
    EXPECT_EQ(printed(QStringLiteral("on again")), "on again\n");
}
} // namespace
