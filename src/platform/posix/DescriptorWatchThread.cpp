#include "platform/posix/DescriptorWatchThread.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

DescriptorWatchThread::DescriptorWatchThread(int descriptor, std::function<bool()> onReadable)
    : m_onReadable(std::move(onReadable)), m_wake(::eventfd(0, EFD_CLOEXEC))
{
    if (m_wake >= 0 && descriptor >= 0)
        m_thread = std::thread([this, descriptor] { watch(descriptor); });
}

DescriptorWatchThread::~DescriptorWatchThread()
{
    stop();
    if (m_wake >= 0)
        ::close(m_wake);
}

void DescriptorWatchThread::stop()
{
    if (!m_thread.joinable())
        return;
    const uint64_t one = 1;
    while (::write(m_wake, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_thread.join();
}

void DescriptorWatchThread::watch(int descriptor)
{
    // Once first: a reader with its own buffer may hold data it has already
    // taken off the descriptor, which would never wake the poll.
    if (!m_onReadable())
        return;
    pollfd watched[2] = {{descriptor, POLLIN, 0}, {m_wake, POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents != 0)
            return;
        // Hang-ups and errors too: onReadable finds out what they mean.
        if (watched[0].revents != 0 && !m_onReadable())
            return;
    }
}
