#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/types.h>

// Starts a server that announces itself by writing one line to a file
// descriptor it is given (Xvfb's display number, dbus-daemon's address),
// and waits up to ten seconds for that line.
struct AnnouncingChild {
    pid_t pid = -1;
    QByteArray announcement; // the line, without its newline
    QString error;

    // In the arguments, "%fd" stands for the number of the descriptor to
    // announce on. On failure the child is ended and pid is -1.
    static AnnouncingChild start(const QList<QByteArray> &arguments);
    // Sends signal to a child that runs (pid > 0), reaps it and sets pid to -1.
    static void end(pid_t &pid, int signal);
};
