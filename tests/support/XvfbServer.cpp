#include "XvfbServer.h"

#include "AnnouncingChild.h"

#include <QtGlobal>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

XvfbServer::XvfbServer()
{
    m_previousDisplay = qgetenv("DISPLAY");
    const AnnouncingChild xvfb = AnnouncingChild::start({"Xvfb", "-displayfd", "%fd", "-screen", "0", "1280x1024x24",
                                                        "-nolisten", "tcp", "-noreset"});
    m_pid = xvfb.pid;
    if (m_pid < 0) {
        m_error = xvfb.error;
        return;
    }
    const QByteArray number = xvfb.announcement;
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
