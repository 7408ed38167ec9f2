#include "XvfbServer.h"

#include "AnnouncingChild.h"

#include <csignal>

XvfbServer::XvfbServer()
{
    const AnnouncingChild xvfb = AnnouncingChild::start({"Xvfb", "-displayfd", "%fd", "-screen", "0", "1280x1024x24",
                                                        "-nolisten", "tcp", "-noreset"});
    m_pid = xvfb.pid;
    if (m_pid < 0) {
        m_error = xvfb.error;
        return;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(xvfb.announcement);
    m_environment.set("DISPLAY", m_display.toLatin1());
}

void XvfbServer::crash()
{
    AnnouncingChild::end(m_pid, SIGKILL);
}

XvfbServer::~XvfbServer()
{
    AnnouncingChild::end(m_pid, SIGTERM);
}
