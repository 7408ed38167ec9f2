#pragma once

#include <QList>
#include <QSettings>
#include <QString>
#include <QUuid>

#include <memory>

// The program's own settings for each button, kept apart from the button
// file, whose format other programs read: vantorel/buttons.ini in the
// user's configuration folder, one group per button id. A button at the
// defaults has no group.
class ButtonPreferences {
public:
    // What a press does while the button's application has a window.
    enum class LaunchMode { bringToFront, alwaysNewCopy };

    // configDirectory: the user's configuration folder; $XDG_CONFIG_HOME
    // (~/.config when unset) when empty.
    explicit ButtonPreferences(const QString &configDirectory = {});

    LaunchMode launchMode(QUuid id) const;
    void setLaunchMode(QUuid id, LaunchMode mode);
    // Drops the settings of every button not among these.
    void keepOnly(const QList<QUuid> &ids);

private:
    void save();

    std::unique_ptr<QSettings> m_settings;
};
