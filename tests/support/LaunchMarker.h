#pragma once

#include "EventLoopWait.h"

#include <QFile>
#include <QUrl>

#include <functional>

// A button target for tests of the real program: a script in dir (name.sh)
// that appends a line to a file each time it runs.
class LaunchMarker {
public:
    explicit LaunchMarker(const QString &dir, const QString &name = QStringLiteral("mark"))
        : m_marker(dir + u'/' + name + QStringLiteral(".launches")), m_script(dir + u'/' + name + QStringLiteral(".sh"))
    {
        QFile script(m_script);
        if (script.open(QIODevice::WriteOnly)) {
            script.write("#!/bin/sh\necho launched >> '" + QFile::encodeName(m_marker) + "'\n");
            script.close();
            script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        }
    }
    QString script() const { return m_script; }
    QString url() const { return QUrl::fromLocalFile(m_script).toString(); }
    int launches() const
    {
        QFile file(m_marker);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }
    // Presses until the target has run count times, a few times at most (a
    // press made before the program listens launches nothing); stops when a
    // press fails. Whether it ran exactly count times.
    bool pressUntil(int count, const std::function<bool()> &press, int attempts = 10, int waitMs = 2000) const
    {
        for (int attempt = 0; attempt < attempts && launches() < count; ++attempt) {
            if (!press())
                return false;
            runEventLoopUntil([&] { return launches() >= count; }, waitMs);
        }
        return launches() == count;
    }
    // Presses once, for a launch that must not come: whether the press worked and no launch
    // came in the time one takes.
    bool pressLaunchesNothing(const std::function<bool()> &press, int waitMs = 2500) const
    {
        const int before = launches();
        if (!press())
            return false;
        runEventLoopUntil([&] { return launches() > before; }, waitMs);
        return launches() == before;
    }

private:
    QString m_marker;
    QString m_script;
};
