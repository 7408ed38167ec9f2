#include "GioAppLauncher.h"

#include <QFileInfo>
#include <QSysInfo>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <unistd.h>

namespace {
template<typename T>
struct GObjectDeleter {
    void operator()(T *object) const { g_object_unref(object); }
};
template<typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;
} // namespace

std::optional<QString> GioAppLauncher::openApplication(const QUrl &target, quint64 eventTime)
{
    if (!target.isLocalFile())
        return QStringLiteral("not an application on this computer: %1").arg(target.toString());
    const QString path = target.toLocalFile();
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("no such file: %1").arg(path);
    if (file.isDir())
        return QStringLiteral("a folder, not an application: %1").arg(path);
    if (file.suffix() == QLatin1String("desktop"))
        return launchDesktopEntry(path, nextStartupId(path, eventTime));
    if (file.isFile() && file.isExecutable())
        return m_executables.start(path, nextStartupId(path, eventTime));
    return QStringLiteral("not an application (neither a .desktop entry nor an executable): %1").arg(path);
}

std::optional<QString> GioAppLauncher::launchDesktopEntry(const QString &path, const QByteArray &startupId)
{
    const QByteArray file = QFile::encodeName(path);
    GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(file.constData()));
    if (!info)
        return QStringLiteral("not a usable application entry: %1").arg(path);

    GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
    g_app_launch_context_unsetenv(context.get(), "DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty())
        g_app_launch_context_setenv(context.get(), "DESKTOP_STARTUP_ID", startupId.constData());

    GError *error = nullptr;
    if (!g_app_info_launch(G_APP_INFO(info.get()), nullptr, context.get(), &error)) {
        const QString reason = QStringLiteral("could not launch %1: %2")
                                   .arg(path, QString::fromUtf8(error ? error->message : "unknown error"));
        g_clear_error(&error);
        return reason;
    }
    return std::nullopt;
}

QByteArray GioAppLauncher::nextStartupId(const QString &path, quint64 time)
{
    // Without a press there is no time worth passing on; the window manager
    // then treats the new window as it sees fit.
    if (time == 0)
        return {};
    const QString host = QSysInfo::machineHostName();
    QString name = QFileInfo(path).completeBaseName();
    for (QChar &c : name) {
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    }
    return QStringLiteral("vantorel-%1-%2-%3-%4_TIME%5")
        .arg(::getpid())
        .arg(host.isEmpty() ? QStringLiteral("localhost") : host)
        .arg(name)
        .arg(++m_launchCount)
        .arg(time)
        .toUtf8();
}
