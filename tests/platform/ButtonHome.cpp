#include "ButtonHome.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUuid>

ButtonHome::ButtonHome() = default;

void ButtonHome::addButton(const QString &name, const QString &shortcut)
{
    m_buttons.append({name, shortcut, {}});
}

void ButtonHome::addWebButton(const QString &name, const QString &shortcut, const QString &address)
{
    m_buttons.append({name, shortcut, address});
}

bool ButtonHome::writeButtonFile() const
{
    QJsonArray buttons;
    for (const auto &[name, shortcut, address] : m_buttons) {
        if (!address.isEmpty()) {
            buttons.append(QJsonObject{
                {QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
                {QStringLiteral("name"), name},
                {QStringLiteral("shortcut"), shortcut},
                {QStringLiteral("appURLString"), address},
            });
            continue;
        }
        const QString script = m_dir.filePath(name + QStringLiteral(".sh"));
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("#!/bin/sh\ntouch '" + QFile::encodeName(m_dir.filePath(name + QStringLiteral(".ran")))
                   + "'\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        buttons.append(QJsonObject{
            {QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
            {QStringLiteral("name"), name},
            {QStringLiteral("shortcut"), shortcut},
            {QStringLiteral("appURLString"), QUrl::fromLocalFile(script).toString()},
        });
    }
    QFile file(m_dir.filePath(QStringLiteral(".vantorel")));
    return file.open(QIODevice::WriteOnly)
        && file.write(QJsonDocument(buttons).toJson(QJsonDocument::Compact)) > 0;
}

bool ButtonHome::ran(const QString &name) const
{
    return QFileInfo::exists(m_dir.filePath(name + QStringLiteral(".ran")));
}
