#pragma once

#include <QList>
#include <QStringList>

// What tells an application's windows apart from others': the processes
// this program started for it, and the window class names it uses.
struct ApplicationIdentity {
    QList<qint64> processIds;
    // Compared with a window's WM_CLASS instance and class, ignoring case.
    QStringList windowClasses;

    bool isEmpty() const { return processIds.isEmpty() && windowClasses.isEmpty(); }
};
