#pragma once

#include <QString>

#include <functional>

// The program's console log: one plain line per call on standard output,
// flushed at once, no timestamp or level. Control characters in the text are
// escaped ("\n", "\u001b"), so one call is always one line.
class Log {
public:
    using Sink = std::function<void(const QString &line)>;

    static void line(const QString &text);

    // Tests capture lines here. The sink replaces standard output until it is
    // reset with an empty Sink.
    static void setSink(Sink sink);
};
