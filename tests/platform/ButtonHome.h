#pragma once

#include "ButtonFileWriter.h"
#include "DesktopTestKit.h"

#include <QTemporaryDir>
#include <QUrl>

// A temporary home directory with a ~/.vantorel button file. A script
// button's target leaves a marker file behind when it runs.
class ButtonHome {
public:
    QString path() const { return m_dir.path(); }

    QUuid addButton(const QString &name, const QString &shortcut)
    {
        const QString script = m_dir.filePath(name + QStringLiteral(".sh"));
        writeFile(script, "#!/bin/sh\ntouch '" + QFile::encodeName(m_dir.filePath(name)) + ".ran'\n", true);
        return addWebButton(name, shortcut, QUrl::fromLocalFile(script).toString());
    }

    // A button whose target is this address as it is.
    QUuid addWebButton(const QString &name, const QString &shortcut, const QString &address)
    {
        return m_buttons.add(name, shortcut, address);
    }

    bool writeButtonFile() const { return m_buttons.writeTo(m_dir.filePath(QStringLiteral(".vantorel"))); }
    QByteArray buttonFileBytes() const { return m_buttons.bytes(); }

    // Whether the button's script ran since the last time this said so.
    bool ran(const QString &name) const { return QFile::remove(m_dir.filePath(name + QStringLiteral(".ran"))); }

private:
    QTemporaryDir m_dir;
    ButtonFileWriter m_buttons;
};
