#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

// One launch button: a name, a shortcut in its text form and an optional
// target (a web address or an application location, kept as text).
// Buttons are matched by id alone.
class LaunchButton {
public:
    LaunchButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL);

    // For readers that already hold the target as text.
    static LaunchButton withTargetText(QUuid id, QString name, QString shortcut,
                                       std::optional<QString> appURLString);

    QUuid id() const { return m_id; }

    QString name;
    QString shortcut;
    std::optional<QString> appURLString;

private:
    QUuid m_id;
};

using LaunchButtonList = QList<LaunchButton>;
