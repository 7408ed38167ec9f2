#include "Log.h"

#include <QFile>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace {
// What one Log::line call puts on standard output.
QByteArray printed(const QString &text)
{
    QTemporaryFile capture;
    if (!capture.open())
        return {};
    std::fflush(stdout);
    const int savedStdout = ::dup(STDOUT_FILENO);
    ::dup2(capture.handle(), STDOUT_FILENO);
    Log::line(text);
    ::dup2(savedStdout, STDOUT_FILENO);
    ::close(savedStdout);
    capture.seek(0);
    return capture.readAll();
}

TEST(Log, WritesOneLineWhateverTheValueHolds)
{
    struct Case {
        QString value;
        QByteArray shown;
    };
    const Case cases[] = {
        {QStringLiteral("Mail\n✅ Successfully registered shortcut: X"), "Mail\\n✅ Successfully registered shortcut: X"},
        {QStringLiteral("a\rb"), "a\\rb"},
        {QStringLiteral("\x1b[2J"), "\\u001b[2J"},
        {QString(QChar(0x7f)), "\\u007f"},
        {QString(QChar(0x9b)) + QStringLiteral("31m"), "\\u009b31m"}, // the one-character CSI
        {QString(QChar(0x2028)), "\\u2028"},
        {QStringLiteral("Tom & Jerry \\ ⌘ + ⌥ + F"), "Tom & Jerry \\ ⌘ + ⌥ + F"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(printed(QStringLiteral("🚀 ") + c.value), "🚀 " + c.shown + "\n") << c.shown.constData();
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
} // namespace
