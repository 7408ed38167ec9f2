#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
volatile sig_atomic_t pendingSignal = 0;

// The event loop had its second: end the way the signal alone would have.
void forceEnd(int)
{
    const int signalNumber = pendingSignal ? int(pendingSignal) : SIGTERM;
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    _exit(128 + signalNumber);
}

void forwardSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    // The event loop may be stuck behind a long task and never read the
    // pipe; the alarm ends the process regardless.
    if (!pendingSignal) {
        pendingSignal = signalNumber;
        alarm(TerminationSignals::graceSeconds);
    }
}
} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    QMetaObject::invokeMethod(this, &TerminationSignals::watch, Qt::QueuedConnection);
    struct sigaction action {};
    action.sa_handler = forceEnd;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    action.sa_handler = forwardSignal;
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void TerminationSignals::watch()
{
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(signalPipe[0], &byte, 1) == 1)
            Q_EMIT received(byte);
    });
}

TerminationSignals::~TerminationSignals()
{
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    // The event loop has ended as asked; what is left is the quick exit.
    alarm(0);
    signal(SIGALRM, SIG_DFL);
}
