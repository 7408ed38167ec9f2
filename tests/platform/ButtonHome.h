#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>

// A temporary home directory with a ~/.vantorel button file. A script
// button's target leaves a marker file behind when it runs.
class ButtonHome {
public:
    QString path() const { return m_dir.path(); }

    void addButton(const QString &name, const QString &shortcut)
    {
        QFile script(m_dir.filePath(name + QStringLiteral(".sh")));
        if (script.open(QIODevice::WriteOnly))
            script.write("#!/bin/sh\ntouch '" + QFile::encodeName(m_dir.filePath(name)) + ".ran'\n");
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        addWebButton(name, shortcut, QUrl::fromLocalFile(script.fileName()).toString());
    }

    // A button whose target is this address as it is.
    void addWebButton(const QString &name, const QString &shortcut, const QString &address)
    {
        m_buttons.append(QJsonObject{
            {QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
            {QStringLiteral("name"), name},
            {QStringLiteral("shortcut"), shortcut},
            {QStringLiteral("appURLString"), address},
        });
    }

    bool writeButtonFile() const
    {
        QFile file(m_dir.filePath(QStringLiteral(".vantorel")));
        return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(m_buttons).toJson()) > 0;
    }

    // Whether the button's script ran since the last time this said so.
    bool ran(const QString &name) const { return QFile::remove(m_dir.filePath(name + QStringLiteral(".ran"))); }

private:
    QTemporaryDir m_dir;
    QJsonArray m_buttons;
};
