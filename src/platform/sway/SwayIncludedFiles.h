#pragma once

#include <QList>
#include <QString>

#include <utility>

// The files a sway include line names, read from disk: the pattern with a
// leading ~ and $ENVIRONMENT variables expanded, relative to the including
// file's folder, wildcards in its last part matched in name order (as
// sway's own word expansion does). sway does not send included files over
// its IPC, so they are read here.
class SwayIncludedFiles {
public:
    static QList<std::pair<QString, QString>> read(const QString &pattern, const QString &includingFile);
    // The pattern as a path, before the wildcards are matched.
    static QString expanded(const QString &pattern, const QString &includingFile);
};
