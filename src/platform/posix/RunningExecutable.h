#pragma once

#include <QString>

// The running program's own file, as the system knows it: for the start-up
// log, the autostart entry's Exec and every command that starts Vantorel
// again. Unlike QCoreApplication::applicationFilePath() it works before the
// application object exists, on every Qt version.
class RunningExecutable {
public:
    static QString path();
};
