#include "EventLoopWait.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
void runOnce(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

bool runEventLoopUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        runOnce(10);
    }
    return true;
}

void runEventLoopFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        runOnce(10);
}
