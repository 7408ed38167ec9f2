#include "Log.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace {
std::mutex &sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

Log::Sink &currentSink()
{
    static Log::Sink sink;
    return sink;
}

bool breaksTheLine(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Logged values come from the button file and from web pages: a newline there
// must not start a forged line, nor an escape sequence drive the terminal.
QString oneLine(const QString &text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return breaksTheLine(c.unicode()); }))
        return text;
    QString escaped;
    escaped.reserve(text.size() + 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\n': escaped.append(QLatin1String("\\n")); break;
        case u'\r': escaped.append(QLatin1String("\\r")); break;
        case u'\t': escaped.append(QLatin1String("\\t")); break;
        default:
            if (breaksTheLine(c.unicode()))
                escaped.append(QStringLiteral("\\u%1").arg(unsigned(c.unicode()), 4, 16, QLatin1Char('0')));
            else
                escaped.append(c);
        }
    }
    return escaped;
}
} // namespace

void Log::line(const QString &text)
{
    const QString line = oneLine(text);
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(line);
        return;
    }
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Log::setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}
