#pragma once

#include <QFile>
#include <QUrl>

// A button target for tests of the real program: a script in dir that
// appends a line to a file each time it runs.
class LaunchMarker {
public:
    explicit LaunchMarker(const QString &dir)
        : m_marker(dir + QStringLiteral("/launches")), m_script(dir + QStringLiteral("/mark.sh"))
    {
        QFile script(m_script);
        if (script.open(QIODevice::WriteOnly)) {
            script.write("#!/bin/sh\necho launched >> '" + QFile::encodeName(m_marker) + "'\n");
            script.close();
            script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        }
    }
    QString url() const { return QUrl::fromLocalFile(m_script).toString(); }
    int launches() const
    {
        QFile file(m_marker);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

private:
    QString m_marker;
    QString m_script;
};
