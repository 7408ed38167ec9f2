#pragma once

#include <QString>

#include <optional>

// Vantorel's application entry, <desktop id>.desktop in an XDG applications
// folder. The desktop's portal takes Vantorel's app id (Registry.Register)
// only when such an entry is installed ("App info not found" otherwise). An
// installed Vantorel has the package's; one started from a build folder puts
// its own into $XDG_DATA_HOME/applications/ (~/.local/share/applications/),
// pointing at the running program as the autostart entry does.
class XdgApplicationEntry {
public:
    // Where the user's own entry goes in this environment.
    static QString userEntryPath();
    // An entry installed for every user (in $XDG_DATA_DIRS), if any.
    static std::optional<QString> systemEntryPath();

    enum class Outcome { systemEntry, unchanged, installed, updated };
    struct Result {
        Outcome outcome;
        std::optional<QString> error; // why the user entry could not be written
    };
    // Writes the user entry, or brings its Exec line up to date, unless an
    // entry is installed for every user.
    static Result ensureFor(const QString &executablePath);
};
