#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// `vantorel --add-desktop-shortcuts` and `--remove-desktop-shortcuts`: the
// consent the Configuration window asks for, given or taken back from a
// terminal (for scripted set-ups). Works whether or not the program runs:
// the command writes GNOME's custom shortcuts itself, from the button file,
// and a running program follows the changed list.
class DesktopShortcutsCommand {
public:
    // Carries out what the arguments ask for, if they name either option:
    // the exit status; nothing when they don't.
    static std::optional<int> answer(const QStringList &arguments, const QString &programPath);

    // homeDirectory holds the button file; configDirectory the consent
    // (the user's when empty). Prints one line per button on standard
    // output, errors on standard error; returns the exit status.
    static int add(const QString &programPath, const QString &homeDirectory, const QString &configDirectory = {});
    static int remove(const QString &configDirectory = {});
};
