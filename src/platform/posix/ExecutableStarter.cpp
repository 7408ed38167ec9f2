#include "platform/posix/ExecutableStarter.h"

#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstring>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {
// The environment of this process, less what belongs to its own start-up,
// as pointers into it: nothing is copied on the way from a press to its
// target. startupEntry must outlive the result.
std::vector<char *> childEnvironment(QByteArray &startupEntry)
{
    std::vector<char *> result;
    result.reserve(64);
    for (char **entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "DESKTOP_STARTUP_ID=", 19) != 0)
            result.push_back(*entry);
    }
    if (!startupEntry.isEmpty())
        result.push_back(startupEntry.data());
    result.push_back(nullptr);
    return result;
}
} // namespace

ExecutableStarter::ExecutableStarter() = default;

ExecutableStarter::~ExecutableStarter()
{
    // Children still running are reaped by init once this process is gone.
    for (Child &child : m_children) {
        child.watcher.reset();
        ::close(child.pidfd);
    }
}

std::optional<QString> ExecutableStarter::start(const QString &path, const QByteArray &startupId)
{
    const QByteArray file = QFile::encodeName(path);
    QByteArray startupEntry = startupId.isEmpty() ? QByteArray() : "DESKTOP_STARTUP_ID=" + startupId;
    std::vector<char *> envp = childEnvironment(startupEntry);
    QByteArray argv0 = file;
    char *argv[] = {argv0.data(), nullptr};

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    pid_t pid = -1;
    const int error = posix_spawn(&pid, file.constData(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return QStringLiteral("could not start %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
    reapWhenDone(pid, path);
    return std::nullopt;
}

QList<qint64> ExecutableStarter::running(const QString &path) const
{
    QList<qint64> pids;
    for (const Child &child : m_children) {
        if (child.path == path)
            pids.append(child.pid);
    }
    return pids;
}

void ExecutableStarter::reapWhenDone(pid_t pid, const QString &path)
{
    // Kernels before 5.3 have no process descriptors: wait aside.
    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
        return;
    }
    m_children.push_back({pid, path, pidfd, nullptr});
    QMetaObject::invokeMethod(&m_home, [this, pidfd] { watch(pidfd); }, Qt::QueuedConnection);
}

void ExecutableStarter::watch(int pidfd)
{
    const auto child = std::find_if(m_children.begin(), m_children.end(),
                                    [pidfd](const Child &c) { return c.pidfd == pidfd && !c.watcher; });
    if (child == m_children.end())
        return;
    child->watcher = std::make_unique<QSocketNotifier>(pidfd, QSocketNotifier::Read);
    QSocketNotifier *raw = child->watcher.get();
    QObject::connect(raw, &QSocketNotifier::activated, raw, [this, raw, pid = child->pid] {
        // ECHILD: reaped elsewhere (SIGCHLD ignored); stop watching either way.
        const pid_t reaped = ::waitpid(pid, nullptr, WNOHANG);
        if (reaped == pid || (reaped == -1 && errno == ECHILD))
            forget(raw);
    });
}

void ExecutableStarter::forget(QSocketNotifier *watcher)
{
    for (auto it = m_children.begin(); it != m_children.end(); ++it) {
        if (it->watcher.get() == watcher) {
            watcher->setEnabled(false);
            ::close(it->pidfd);
            // Called from the notifier's own signal: delete it later.
            it->watcher.release()->deleteLater();
            m_children.erase(it);
            return;
        }
    }
}
