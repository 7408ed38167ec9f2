#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

class QSocketNotifier;

// Starts executable files directly (no shell) in a session of their own,
// so they outlive this program and its terminal, and reaps each one when
// it exits so no zombie is left behind while this program runs. start() may
// also run on another thread while the main thread has no event loop yet:
// exits are watched from the event loop of the thread the starter was made
// on, once it runs.
class ExecutableStarter {
public:
    ExecutableStarter();
    ~ExecutableStarter();
    ExecutableStarter(const ExecutableStarter &) = delete;
    ExecutableStarter &operator=(const ExecutableStarter &) = delete;

    // Runs the file with no arguments. startupId, when not empty, becomes
    // DESKTOP_STARTUP_ID in its environment. Returns why it did not start.
    std::optional<QString> start(const QString &path, const QByteArray &startupId);
    // The processes started from this file that have not exited yet.
    QList<qint64> running(const QString &path) const;

private:
    struct Child {
        pid_t pid;
        QString path;
        int pidfd;                                // readable once the process exits
        std::unique_ptr<QSocketNotifier> watcher; // on pidfd, made from the event loop
    };

    void reapWhenDone(pid_t pid, const QString &path);
    void watch(int pidfd);
    void forget(QSocketNotifier *watcher);

    std::vector<Child> m_children;
    QObject m_home; // lives on the thread the starter was made on
};
