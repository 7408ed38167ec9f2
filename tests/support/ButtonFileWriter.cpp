#include "ButtonFileWriter.h"

#include <QSaveFile>
#include <QJsonDocument>
#include <QJsonObject>

QUuid ButtonFileWriter::add(const QString &name, const QString &shortcut, const std::optional<QString> &target, QUuid id)
{
    QJsonObject button{{QStringLiteral("id"), id.toString(QUuid::WithoutBraces).toUpper()},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("shortcut"), shortcut}};
    if (target)
        button.insert(QStringLiteral("appURLString"), *target);
    m_buttons.append(button);
    return id;
}

QByteArray ButtonFileWriter::bytes() const
{
    return QJsonDocument(m_buttons).toJson(QJsonDocument::Compact);
}

bool ButtonFileWriter::writeTo(const QString &path) const
{
    QSaveFile file(path);
    const QByteArray text = bytes();
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}
