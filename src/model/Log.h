#pragma once

#include <QLoggingCategory>
#include <QString>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(vantorelLog)

// The program's console log, on Qt's logging. Messages of the program's
// categories ("vantorel", "vantorel.*") become one plain line each on
// standard output, flushed at once, with no timestamp or level; control
// characters in them are escaped ("\n", "\u001b"), so one message is always
// one line. Other messages (Qt's own) keep Qt's handling, on standard error,
// escaped the same way.
class Log {
public:
    using Sink = std::function<void(const QString &line)>;

    static void line(const QString &text);

    // Sends the program's messages to standard output. The handler lives in
    // Qt, so the program and its plugins share it.
    static void install();

    // Sees every message of Qt's own, on the thread that logs it, before
    // Qt's handling: the one way to notice what Qt only reports in a warning
    // (a broken display connection, which it answers with exit()). One
    // watcher; an empty function removes it. Log::line works inside it.
    using QtMessageWatcher = std::function<void(QtMsgType type, const QString &message)>;
    static void watchQtMessages(QtMessageWatcher watcher);

    // While one lives, the program's lines logged on this thread are kept
    // and written together, in order, when the outermost one ends: a press
    // starts its target first and reports after.
    class Held {
    public:
        Held();
        ~Held();
        Held(const Held &) = delete;
        Held &operator=(const Held &) = delete;
    };

    // Tests capture lines here. The sink replaces standard output until it is
    // reset with an empty Sink.
    static void setSink(Sink sink);
};
