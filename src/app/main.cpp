#include "DesktopServices.h"
#include "HotKeyManager.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"
#include "VantorelApp.h"
#include "WebWindowLoader.h"
#include "WindowInputTime.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vantorel"));
    QApplication::setApplicationName(QStringLiteral("vantorel"));
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

    const DesktopServices desktop = DesktopServices::forThisSession(&WindowInputTime::latest);
    // The web window is loaded at the first web launch, not before.
    WebWindowLoader webWindow(WebWindowLoader::defaultPluginPath(), desktop.activator);
    const auto openWebAddress = [&webWindow](const QString &address) { webWindow.loadURL(address); };
    HotKeyManager::provideSharedServices(
        {desktop.hotkeys, desktop.launcher, desktop.permission, openWebAddress, {}, {}});

    VantorelApp vantorel({desktop.loginItem, desktop.activator, QCoreApplication::applicationFilePath(),
                          &HotKeyManager::shared});
    QObject::connect(&instance, &SingleInstance::showRequested, &vantorel, &VantorelApp::showShortcutsEditor);

    return app.exec();
}
