#pragma once

#include "ScopedEnvironment.h"

#include <QString>

#include <sys/types.h>

// A private X server for one test binary. Picks a free display itself
// (-displayfd) and points DISPLAY at it while it runs.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    bool isRunning() const { return m_pid > 0 && !m_display.isEmpty(); }
    QString display() const { return m_display; }
    QString error() const { return m_error; }

    // Ends the server at once (SIGKILL), as a crash would, and reaps it.
    void crash();

private:
    pid_t m_pid = -1;
    QString m_display;
    QString m_error;
    ScopedEnvironment m_environment; // DISPLAY while it runs
};

// One private X server for the whole test binary, started on first use.
inline XvfbServer &sharedXvfb()
{
    static XvfbServer server;
    return server;
}
