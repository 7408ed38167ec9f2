#include "TestManager.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

TestManager::TestManager(const QByteArray &buttonFile, bool permissionGranted)
    : m_permission(std::make_shared<FakePermissionService>(permissionGranted))
{
    QFile file(m_home.filePath(QStringLiteral(".vantorel")));
    if (file.open(QIODevice::WriteOnly))
        file.write(buttonFile);
    file.close();
    m_manager = std::make_unique<HotKeyManager>(
        HotKeyManager::Services{m_hotkeys, m_launcher, m_permission, {}, m_home.path(), QStringLiteral("/usr/bin/vantorel")});
}

QByteArray TestManager::fileText() const
{
    QFile file(m_home.filePath(QStringLiteral(".vantorel")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<std::pair<quint32, quint32>> TestManager::registeredCombinations() const
{
    QList<std::pair<quint32, quint32>> combinations;
    for (const FakeHotkeyService::Registration &r : m_hotkeys->registrations())
        combinations.append({r.keyCode, r.modifierMask});
    return combinations;
}

QByteArray TestManager::button(const QString &name, const QString &shortcut, const QString &target)
{
    QJsonObject object{{QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("shortcut"), shortcut}};
    if (!target.isEmpty())
        object.insert(QStringLiteral("appURLString"), target);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
