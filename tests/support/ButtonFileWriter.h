#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QUuid>

#include <optional>

// Writes button files for tests: one entry per add(), in the program's format.
class ButtonFileWriter {
public:
    // No target when target is nothing; returns the button's id (a new one
    // unless given).
    QUuid add(const QString &name, const QString &shortcut, const std::optional<QString> &target = std::nullopt,
              QUuid id = QUuid::createUuid());

    QByteArray bytes() const;
    // Renamed over the file, so that a running program never reads half of it.
    bool writeTo(const QString &path) const;

private:
    QJsonArray m_buttons;
};
