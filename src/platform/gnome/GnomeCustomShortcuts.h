#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct _GSettings;
struct _GSettingsSchema;

// GNOME's custom shortcuts (the list gsd-media-keys binds and runs), read and
// written through GSettings. The program's own entries live at
// …/custom-keybindings/vantorel-<action id>/; every other entry is the user's
// and is written back as it was. An entry's keys are written before its path
// joins the list, and its path leaves the list before its keys are reset, as
// GNOME Settings does: gsd-media-keys never sees half an entry. Main thread.
class GnomeCustomShortcuts {
public:
    struct Entry {
        QString name;
        QString command;
        QString binding; // GTK accelerator syntax

        friend bool operator==(const Entry &, const Entry &) = default;
    };

    static constexpr const char *listSchemaId = "org.gnome.settings-daemon.plugins.media-keys";
    static constexpr const char *entrySchemaId = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
    static constexpr const char *listKey = "custom-keybindings";

    GnomeCustomShortcuts();
    ~GnomeCustomShortcuts();
    GnomeCustomShortcuts(const GnomeCustomShortcuts &) = delete;
    GnomeCustomShortcuts &operator=(const GnomeCustomShortcuts &) = delete;

    // False without GIO or without gnome-settings-daemon's schemas; why()
    // says which.
    bool isAvailable() const { return m_list != nullptr; }
    const QString &why() const { return m_why; }

    // "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/vantorel-ID/"
    static QString pathOf(const QString &actionId);
    // The action id of one of the program's paths; nothing for the user's.
    static std::optional<QString> actionIdOf(const QString &path);

    // The list as stored, and the action ids of the program's entries in it.
    QStringList paths() const;
    QStringList ourActionIds() const;
    // An entry's keys; nothing when they cannot be read.
    std::optional<Entry> entryAt(const QString &path) const;

    // Writes (or rewrites) the program's entry for this action and makes
    // sure its path is in the list. False, with a log line, on failure.
    bool put(const QString &actionId, const Entry &entry);
    // Takes the action's path out of the list and resets its keys.
    bool remove(const QString &actionId);
    // Every entry of the program's, also of buttons it no longer has.
    void removeAllOurs();
    // Waits until the writes are stored (a program that exits right after).
    void flush();

    // Called from the event loop whenever the list changes, whoever wrote it.
    void watchList(std::function<void()> changed);

private:
    // Reads the list, lets change edit it, writes it back when it differs;
    // any path without its trailing slash gets one (gsd-media-keys 43
    // crashes on such a path).
    bool editList(const std::function<void(QStringList &)> &change);
    _GSettings *entrySettings(const QString &path) const;
    static void listChanged(_GSettings *, const char *, void *self);

    _GSettings *m_list = nullptr;
    _GSettingsSchema *m_entrySchema = nullptr;
    unsigned long m_handler = 0;
    std::function<void()> m_changed;
    QString m_why;
};
