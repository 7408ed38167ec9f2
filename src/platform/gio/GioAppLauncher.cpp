#include "platform/gio/GioAppLauncher.h"

#include <QFile>
#include <QSysInfo>

#include "platform/gio/GioLibrary.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
template<typename T>
struct GObjectDeleter {
    const GioLibrary *gio;
    void operator()(T *object) const { gio->objectUnref(object); }
};
template<typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

QString fileName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

std::optional<QString> GioAppLauncher::openApplication(const QUrl &target, quint64 eventTime)
{
    if (!target.isLocalFile())
        return QStringLiteral("not an application on this computer: %1").arg(target.toString());
    const QString path = target.toLocalFile();
    const QByteArray encoded = QFile::encodeName(path);
    // One stat and one access, not QFileInfo's round: this runs between a
    // key press and the start of its target.
    struct stat status;
    if (::stat(encoded.constData(), &status) != 0) {
        return errno == ENOENT || errno == ENOTDIR
            ? QStringLiteral("no such file: %1").arg(path)
            : QStringLiteral("cannot read %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("a folder, not an application: %1").arg(path);
    if (path.endsWith(QLatin1String(".desktop")))
        return launchDesktopEntry(path, nextStartupId(path, eventTime));
    if (S_ISREG(status.st_mode) && ::access(encoded.constData(), X_OK) == 0)
        return m_executables.start(path, nextStartupId(path, eventTime));
    return QStringLiteral("not an application (neither a .desktop entry nor an executable): %1").arg(path);
}

std::optional<QString> GioAppLauncher::launchDesktopEntry(const QString &path, const QByteArray &startupId)
{
    const GioLibrary *gio = GioLibrary::get();
    if (!gio)
        return QStringLiteral("cannot launch %1 without GIO: %2").arg(path, GioLibrary::why());
    const QByteArray file = QFile::encodeName(path);
    GObjectPtr<GDesktopAppInfo> info(gio->desktopAppInfoNewFromFilename(file.constData()), {gio});
    if (!info)
        return QStringLiteral("not a usable application entry: %1").arg(path);

    GObjectPtr<GAppLaunchContext> context(gio->appLaunchContextNew(), {gio});
    gio->appLaunchContextUnsetenv(context.get(), "DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty())
        gio->appLaunchContextSetenv(context.get(), "DESKTOP_STARTUP_ID", startupId.constData());

    GError *error = nullptr;
    // A desktop entry's object is its GAppInfo; the checked cast would need GObject's type system linked.
    if (!gio->appInfoLaunch(reinterpret_cast<GAppInfo *>(info.get()), nullptr, context.get(), &error)) {
        const QString reason = QStringLiteral("could not launch %1: %2")
                                   .arg(path, QString::fromUtf8(error ? error->message : "unknown error"));
        if (error)
            gio->errorFree(error);
        return reason;
    }
    return std::nullopt;
}

ApplicationIdentity GioAppLauncher::identify(const QUrl &target)
{
    if (!target.isLocalFile())
        return {};
    const QString path = target.toLocalFile();
    ApplicationIdentity identity;
    identity.processIds = m_executables.running(path);
    if (!path.endsWith(QLatin1String(".desktop"))) {
        identity.windowClasses = {fileName(path)};
        return identity;
    }
    const GioLibrary *gio = GioLibrary::get();
    if (!gio)
        return identity;
    const QByteArray file = QFile::encodeName(path);
    GObjectPtr<GDesktopAppInfo> info(gio->desktopAppInfoNewFromFilename(file.constData()), {gio});
    if (!info)
        return identity;
    if (const char *wmClass = gio->desktopAppInfoGetStartupWmClass(info.get()); wmClass && *wmClass) {
        identity.windowClasses = {QString::fromUtf8(wmClass)};
    } else if (const char *executable = gio->appInfoGetExecutable(reinterpret_cast<GAppInfo *>(info.get()));
               executable && *executable) {
        identity.windowClasses = {fileName(QFile::decodeName(executable))};
    }
    return identity;
}

QByteArray GioAppLauncher::nextStartupId(const QString &path, quint64 time)
{
    // Without a press there is no time worth passing on; the window manager
    // then treats the new window as it sees fit.
    if (time == 0)
        return {};
    if (m_startupIdPrefix.isEmpty()) {
        const QString host = QSysInfo::machineHostName();
        m_startupIdPrefix = QStringLiteral("vantorel-%1-%2-")
                                .arg(::getpid())
                                .arg(host.isEmpty() ? QStringLiteral("localhost") : host)
                                .toUtf8();
    }
    // The file's name without its last suffix, as a word.
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (const qsizetype dot = name.lastIndexOf(QLatin1Char('.')); dot > 0)
        name.truncate(dot);
    for (QChar &c : name) {
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    }
    return m_startupIdPrefix + name.toUtf8() + '-' + QByteArray::number(++m_launchCount) + "_TIME"
        + QByteArray::number(time);
}
