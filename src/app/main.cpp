#include "CommandLine.h"
#include "DesktopServices.h"
#include "HotKeyManager.h"
#include "InstallLayout.h"
#include "Log.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"
#include "VantorelApp.h"
#include "WebWindowLoader.h"
#include "WindowInputTime.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    Log::install();
    QApplication::setOrganizationName(QStringLiteral("Vantorel"));
    QApplication::setApplicationName(QStringLiteral("vantorel"));
    QApplication::setApplicationVersion(QLatin1String(InstallLayout::version));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const std::optional<int> status = CommandLine::answerInformationRequests(arguments))
        return *status;

    QApplication app(argc, argv);
    if (const std::optional<int> status = CommandLine::rejectUnknown(QApplication::arguments()))
        return *status;
    QGuiApplication::setDesktopFileName(QLatin1String(InstallLayout::appId));
    QApplication::setQuitOnLastWindowClosed(false);
    // Sessions without a desktop environment name no icon theme.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));

    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::received, &app, [] { QApplication::quit(); });

    // A second start shows the running program's editor and leaves before it
    // grabs any hotkey.
    SingleInstance instance(SingleInstance::socketPathForThisSession());
    switch (instance.claim()) {
    case SingleInstance::Claim::thisInstance:
        break;
    case SingleInstance::Claim::otherInstanceShown:
        return 0;
    case SingleInstance::Claim::failed:
        return 1;
    }

    // Without the X server no hotkey or window can work again: leave, with
    // the button file as it is.
    const auto displayLost = [] {
        Log::line(QStringLiteral("❌ Lost the connection to the X server, quitting"));
        QCoreApplication::exit(1);
    };
    const DesktopServices desktop = DesktopServices::forThisSession(displayLost, &WindowInputTime::latest);
    // The web window is loaded at the first web launch, not before.
    WebWindowLoader webWindow(WebWindowLoader::defaultPluginPath(), desktop.activator);
    const auto openWebAddress = [&webWindow](const QString &address, quint64 eventTime) {
        webWindow.loadURL(address, eventTime);
    };
    // Hotkeys are live from here on, before any window exists.
    HotKeyManager manager({desktop.shortcuts, desktop.launcher, desktop.permission, openWebAddress, {}, {}});

    VantorelApp vantorel(manager, {desktop.loginItem, desktop.activator, QCoreApplication::applicationFilePath()});
    QObject::connect(&instance, &SingleInstance::showRequested, &vantorel, &VantorelApp::showShortcutsEditor);

    return app.exec();
}
