#pragma once

#include <QByteArray>

// Qt depends on a UTF-8 locale: in another one (LANG unset or C, as in cron
// jobs, containers and CI) Qt 6.8 switches the character type itself but
// prints a four-line warning on stderr, so the program's stderr would depend
// on the locale. Called first thing in main, before the application object
// exists, this puts a UTF-8 locale into the environment the way Qt would
// pick it, so the program behaves the same in any locale.
class Utf8Locale {
public:
    // Returns the assignment it made ("LC_CTYPE=C.UTF-8"), or nothing when
    // the environment's locale is UTF-8 already (or none could be loaded).
    static QByteArray ensure();
};
