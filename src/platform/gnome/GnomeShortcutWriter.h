#pragma once

#include "platform/GlobalShortcutService.h"

#include <QHash>
#include <QList>
#include <QString>

class GnomeCustomShortcuts;
class GnomeKeybindingHolders;

// Makes GNOME's custom shortcuts hold exactly the program's entries for a
// list of requests: one entry per action ("Vantorel: <name>", the program's
// --activate command, the keys), none for actions left out, none on a
// combination GNOME already holds. Used by the running program and by
// `vantorel --add-desktop-shortcuts` alike.
class GnomeShortcutWriter {
public:
    // programPath: the absolute path of the program the desktop runs.
    GnomeShortcutWriter(GnomeCustomShortcuts &shortcuts, const GnomeKeybindingHolders &holders, QString programPath);

    // What each request got, by action id.
    QHash<QString, ShortcutState> writeAll(const QList<ShortcutRequest> &requests);
    ShortcutState write(const ShortcutRequest &request);

    // The entry's command: the program's path and arguments quoted as a
    // desktop entry's Exec line, which is how gsd-media-keys splits it.
    static QString commandFor(const QString &programPath, const QString &actionId);
    static QString entryNameFor(const QString &description);

private:
    GnomeCustomShortcuts &m_shortcuts;
    const GnomeKeybindingHolders &m_holders;
    QString m_programPath;
};
