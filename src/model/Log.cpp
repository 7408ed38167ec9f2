#include "model/Log.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include <QStringList>

Q_LOGGING_CATEGORY(vantorelLog, "vantorel")

namespace {
std::mutex &outputMutex()
{
    static std::mutex mutex;
    return mutex;
}

Log::Sink &currentSink()
{
    static Log::Sink sink;
    return sink;
}

QtMessageHandler &qtHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

Log::QtMessageWatcher &qtMessageWatcher()
{
    static Log::QtMessageWatcher watcher;
    return watcher;
}

// Qt sends whatever is logged while a message handler runs straight to
// standard error, so our own lines from inside one are written directly.
thread_local bool insideHandler = false;

// Set once our handler is Qt's: the program's lines then skip Qt's logging,
// which costs tens of microseconds a line (where a press reports).
std::atomic<bool> handlerInstalled = false;

thread_local int holdDepth = 0;
thread_local QStringList heldTexts;

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

bool isOurs(const char *category)
{
    return category && std::strncmp(category, "vantorel", 8) == 0 && (category[8] == '\0' || category[8] == '.');
}

// Whether the program's lines may go straight to writeOurs(): what Qt's
// logging would do with them, its category filter included.
bool writesDirectly()
{
    return handlerInstalled && vantorelLog().isInfoEnabled();
}

// Several lines in one write, so that whoever reads the output wakes once.
void writeOurs(const QStringList &messages)
{
    std::lock_guard lock(outputMutex());
    if (currentSink()) {
        for (const QString &message : messages)
            currentSink()(oneLine(message));
        return;
    }
    QByteArray utf8;
    for (const QString &message : messages)
        utf8 += oneLine(message).toUtf8() + '\n';
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fflush(stdout);
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    insideHandler = true;
    if (isOurs(context.category)) {
        writeOurs({message});
    } else {
        Log::QtMessageWatcher watcher;
        {
            std::lock_guard lock(outputMutex());
            watcher = qtMessageWatcher();
        }
        if (watcher)
            watcher(type, message);
        // Qt's and the web engine's messages carry values from outside too
        // (a page's console, an address): one line each on standard error.
        // Some end in a line break of their own, which the line end replaces.
        const QString line = oneLine(message.endsWith(u'\n') ? message.chopped(1) : message);
        if (QtMessageHandler previous = qtHandler())
            previous(type, context, line);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, line)));
    }
    insideHandler = false;
}
} // namespace

void Log::line(const QString &text)
{
    if (holdDepth > 0 && !insideHandler)
        heldTexts.append(text);
    else if (insideHandler || writesDirectly())
        writeOurs({text});
    else
        qCInfo(vantorelLog).noquote() << text;
}

Log::Held::Held()
{
    ++holdDepth;
}

Log::Held::~Held()
{
    if (--holdDepth > 0)
        return;
    const QStringList texts = std::exchange(heldTexts, {});
    if (insideHandler || writesDirectly())
        writeOurs(texts);
    else
        std::for_each(texts.cbegin(), texts.cend(), &Log::line);
}

void Log::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Qt's own handler when none was installed before.
        qtHandler() = qInstallMessageHandler(handleMessage);
        handlerInstalled = true;
    });
}

void Log::watchQtMessages(QtMessageWatcher watcher)
{
    install();
    std::lock_guard lock(outputMutex());
    qtMessageWatcher() = std::move(watcher);
}

void Log::setSink(Sink sink)
{
    install();
    std::lock_guard lock(outputMutex());
    currentSink() = std::move(sink);
}
