#include "XvfbServer.h"

#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

XvfbServer::XvfbServer()
{
    m_previousDisplay = qgetenv("DISPLAY");
    int fds[2];
    if (pipe(fds) != 0) {
        m_error = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    const QByteArray fdText = QByteArray::number(fds[1]);
    m_pid = fork();
    if (m_pid == 0) {
        close(fds[0]);
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.constData(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", "-noreset", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (m_pid < 0) {
        m_error = QStringLiteral("fork failed");
        close(fds[0]);
        return;
    }
    QByteArray number;
    pollfd pfd{fds[0], POLLIN, 0};
    while (poll(&pfd, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number.append(c);
    }
    close(fds[0]);
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb did not report a display (is the xvfb package installed?)");
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number);
    qputenv("DISPLAY", m_display.toLatin1());
}

void XvfbServer::crash()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

XvfbServer::~XvfbServer()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_previousDisplay.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", m_previousDisplay);
}
