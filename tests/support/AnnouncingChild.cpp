#include "AnnouncingChild.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

AnnouncingChild AnnouncingChild::start(const QList<QByteArray> &arguments)
{
    AnnouncingChild child;
    int fds[2];
    if (pipe(fds) != 0) {
        child.error = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return child;
    }
    QList<QByteArray> argv = arguments;
    for (QByteArray &argument : argv)
        argument.replace("%fd", QByteArray::number(fds[1]));
    std::vector<char *> pointers;
    for (QByteArray &argument : argv)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    child.pid = fork();
    if (child.pid == 0) {
        close(fds[0]);
        execvp(pointers.front(), pointers.data());
        _exit(127);
    }
    close(fds[1]);
    if (child.pid < 0) {
        child.error = QStringLiteral("fork failed");
        close(fds[0]);
        return child;
    }
    pollfd pfd{fds[0], POLLIN, 0};
    while (poll(&pfd, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        child.announcement.append(c);
    }
    close(fds[0]);
    if (child.announcement.isEmpty()) {
        child.error = QStringLiteral("%1 announced nothing (is it installed?)").arg(QString::fromLocal8Bit(argv.first()));
        end(child.pid, SIGTERM);
    }
    return child;
}

void AnnouncingChild::end(pid_t &pid, int signal)
{
    if (pid <= 0)
        return;
    kill(pid, signal);
    waitpid(pid, nullptr, 0);
    pid = -1;
}
