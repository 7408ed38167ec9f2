#include "platform/xdg/XdgApplicationEntry.h"

#include "platform/xdg/XdgDesktopEntryFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString entryName = QStringLiteral(VANTOREL_APP_ID ".desktop");

// XDG base directories ignore a relative value.
QString absoluteOr(const QString &value, const QString &fallback)
{
    return !value.isEmpty() && QDir::isAbsolutePath(value) ? value : fallback;
}

QByteArray fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

QString XdgApplicationEntry::userEntryPath()
{
    return absoluteOr(qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath() + QStringLiteral("/.local/share"))
        + QStringLiteral("/applications/") + entryName;
}

std::optional<QString> XdgApplicationEntry::systemEntryPath()
{
    const QString configured = qEnvironmentVariable("XDG_DATA_DIRS");
    const QStringList dataDirs = configured.isEmpty()
        ? QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")}
        : configured.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &dir : dataDirs) {
        const QString path = dir + QStringLiteral("/applications/") + entryName;
        if (QDir::isAbsolutePath(dir) && QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

XdgApplicationEntry::Result XdgApplicationEntry::ensureFor(const QString &executablePath)
{
    if (systemEntryPath())
        return {Outcome::systemEntry, std::nullopt};
    const QString path = userEntryPath();
    const bool existed = QFileInfo::exists(path);
    const QByteArray before = fileText(path);
    if (const std::optional<QString> error = XdgDesktopEntryFile::write(path, executablePath))
        return {existed ? Outcome::unchanged : Outcome::installed, error};
    if (!existed)
        return {Outcome::installed, std::nullopt};
    return {fileText(path) == before ? Outcome::unchanged : Outcome::updated, std::nullopt};
}
