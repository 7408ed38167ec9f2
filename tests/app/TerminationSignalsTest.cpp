#include "app/TerminationSignals.h"

#include <csignal>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {
// A session's SIGTERM ends the program even while its main thread never
// gets back to the event loop.
TEST(TerminationSignalsTest, ABusyMainThreadStillEndsSoonAfterSIGTERM)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TerminationSignals signals_;
        [[maybe_unused]] const ssize_t written = ::write(ready[1], "r", 1);
        for (;;) // busy, and never back to an event loop
            ::sched_yield();
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);

    ::kill(child, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    for (int waitedMs = 0; (ended = ::waitpid(child, &status, WNOHANG)) == 0 && waitedMs < 2500; waitedMs += 10)
        ::usleep(10000);
    if (ended == 0 && ::kill(child, SIGKILL) == 0) // too late: end it so that the check below fails
        ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "not ended by SIGTERM within 2.5 s";
}
} // namespace
