#pragma once

#include "platform/LoginItemService.h"

// An XDG autostart entry, $XDG_CONFIG_HOME/autostart/<desktop id>.desktop
// (~/.config/autostart/ when the variable is unset), which desktop sessions
// that follow the freedesktop.org autostart convention run at login. An
// entry that exists already only gets its Exec line brought up to date, so
// the user's own settings in it stay.
class XdgAutostartLoginItem final : public LoginItemService {
public:
    std::optional<QString> registerApplication(const QString &executablePath) override;

    // Where the entry goes in this environment.
    static QString entryPath();
    // Where versions before the desktop id put it.
    static QString earlierEntryPath();
    // The Exec= value that runs exactly this file, quoted and escaped for a
    // desktop entry.
    static QString execValue(const QString &executablePath);

private:
    static void takeOverEarlierEntry();
};
