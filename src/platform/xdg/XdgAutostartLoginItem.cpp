#include "platform/xdg/XdgAutostartLoginItem.h"

#include "platform/xdg/XdgDesktopEntryFile.h"

#include <QDir>
#include <QFileInfo>


namespace {
QString configHome()
{
    // XDG base directories ignore a relative value.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}
} // namespace

QString XdgAutostartLoginItem::entryPath()
{
    return configHome() + QStringLiteral("/autostart/" VANTOREL_APP_ID ".desktop");
}

QString XdgAutostartLoginItem::earlierEntryPath()
{
    return configHome() + QStringLiteral("/autostart/vantorel.desktop");
}

// Earlier versions named the entry after the program. It becomes the entry
// under the desktop id, with whatever the user set in it; two entries would
// start the program twice at login.
void XdgAutostartLoginItem::takeOverEarlierEntry()
{
    const QString earlier = earlierEntryPath();
    if (!QFileInfo::exists(earlier))
        return;
    if (QFileInfo::exists(entryPath()) || !QFile::rename(earlier, entryPath()))
        QFile::remove(earlier);
}

QString XdgAutostartLoginItem::execValue(const QString &executablePath)
{
    return XdgDesktopEntryFile::execValue(executablePath);
}

std::optional<QString> XdgAutostartLoginItem::registerApplication(const QString &executablePath)
{
    if (!QDir::isAbsolutePath(executablePath))
        return QStringLiteral("the program's path is not absolute: ") + executablePath;
    if (!QDir().mkpath(QFileInfo(entryPath()).path()))
        return QStringLiteral("cannot create ") + QFileInfo(entryPath()).path();
    takeOverEarlierEntry();
    return XdgDesktopEntryFile::write(entryPath(), executablePath, "X-GNOME-Autostart-enabled=true\n");
}
