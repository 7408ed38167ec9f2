#include "DesktopServices.h"
#include "HotKeyManager.h"
#include "TerminationSignals.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vantorel"));
    QApplication::setApplicationName(QStringLiteral("vantorel"));
    QApplication::setQuitOnLastWindowClosed(false);

    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::received, &app, [] { QApplication::quit(); });

    const DesktopServices desktop = DesktopServices::forThisSession();
    HotKeyManager::provideSharedServices({desktop.hotkeys, desktop.launcher, desktop.permission, {}, {}, {}});
    HotKeyManager::shared();

    return app.exec();
}
