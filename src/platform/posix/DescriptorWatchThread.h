#pragma once

#include <functional>
#include <thread>

// Calls onReadable on a thread of its own once at the start and then each
// time a descriptor has data, until stop() (or onReadable answering false). For the one time the main
// thread cannot watch it: while it is busy for a while before its event
// loop exists.
class DescriptorWatchThread {
public:
    // onReadable runs on the watching thread; it returns whether to go on.
    DescriptorWatchThread(int descriptor, std::function<bool()> onReadable);
    ~DescriptorWatchThread();
    DescriptorWatchThread(const DescriptorWatchThread &) = delete;
    DescriptorWatchThread &operator=(const DescriptorWatchThread &) = delete;

    // Whether the thread is watching (it could be started).
    bool isRunning() const { return m_thread.joinable(); }

    // Returns once the thread has ended: whatever onReadable did is visible
    // to the caller afterwards.
    void stop();

private:
    void watch(int descriptor);

    std::function<bool()> m_onReadable;
    int m_wake = -1; // an eventfd that stop() writes to
    std::thread m_thread;
};
