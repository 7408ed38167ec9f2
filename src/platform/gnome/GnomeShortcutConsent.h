#pragma once

#include <QString>

// Whether the user agreed to have the program's shortcuts in GNOME's keyboard
// settings: asked once, remembered in the program's own settings
// (Vantorel/desktop.ini in the user's configuration folder), and read afresh
// each time, since `vantorel --add-desktop-shortcuts` may answer from
// another process.
class GnomeShortcutConsent {
public:
    // configDirectory: the user's configuration folder; $XDG_CONFIG_HOME
    // (~/.config when unset) when empty.
    explicit GnomeShortcutConsent(const QString &configDirectory = {});

    // The folder the answer is kept in, for watching.
    QString folder() const;

    bool isGiven() const;
    // False, with a log line, when it cannot be saved.
    bool set(bool given);

private:
    QString m_file;
};
