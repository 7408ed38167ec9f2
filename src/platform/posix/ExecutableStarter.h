#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

class QSocketNotifier;

// Starts executable files directly (no shell) in a session of their own,
// so they outlive this program and its terminal, and reaps each one when
// it exits so no zombie is left behind while this program runs.
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
        std::unique_ptr<QSocketNotifier> watcher; // readable once the process exits
        pid_t pid;
        QString path;
    };

    void reapWhenDone(pid_t pid, const QString &path);
    void forget(QSocketNotifier *watcher);

    std::vector<Child> m_children;
};
