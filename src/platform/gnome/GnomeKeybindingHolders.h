#pragma once

#include <QKeyCombination>
#include <QList>
#include <QString>

#include <optional>

class GnomeCustomShortcuts;
struct _GSettings;
struct _GSettingsSchema;

// Who in GNOME already holds a combination: the window manager's, the
// shell's, mutter's and the settings daemon's keybindings, and the user's
// custom shortcuts. GNOME refuses a custom shortcut on a held combination
// without telling the writer, so the program asks here first. Main thread.
class GnomeKeybindingHolders {
public:
    // The keybinding schemas looked in, those missing here skipped.
    static const QList<const char *> &schemaIds();

    explicit GnomeKeybindingHolders(const GnomeCustomShortcuts &customShortcuts);
    ~GnomeKeybindingHolders();
    GnomeKeybindingHolders(const GnomeKeybindingHolders &) = delete;
    GnomeKeybindingHolders &operator=(const GnomeKeybindingHolders &) = delete;

    // One line naming the holder ("Super+A is GNOME's Keybinding to open
    // the “Show Applications” view"); nothing when the combination is free.
    // The program's own custom shortcuts hold nothing here.
    std::optional<QString> holderOf(QKeyCombination combination) const;

private:
    struct Schema {
        const char *id;
        _GSettingsSchema *schema;
        _GSettings *settings;
    };

    std::optional<QString> summaryOfHolder(const Schema &schema, QKeyCombination combination) const;

    const GnomeCustomShortcuts &m_customShortcuts;
    QList<Schema> m_schemas;
};
