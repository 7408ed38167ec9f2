#include "CommandLine.h"
#include "DesktopServices.h"
#include "DesktopShortcutsCommand.h"
#include "HotkeyButtons.h"
#include "InstallLayout.h"
#include "Log.h"
#include "ProgramEntry.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"
#include "VantorelApp.h"
#include "WebWindowLoader.h"
#include "WindowInputTime.h"
#include "posix/RunningExecutable.h"
#include "posix/Utf8Locale.h"

#include <QApplication>
#include <QIcon>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>

// Called by the `vantorel` command (src/front) for every start it does not
// answer itself.
int vantorel_program_main(int argc, char *argv[])
{
    // Before anything reads the locale. What Vantorel starts inherits the
    // UTF-8 character type as well (only LC_CTYPE, or LC_ALL when that is
    // set, changes): a target launched before the application object exists
    // and one launched after it see the same environment, the web engine's
    // helper (a Qt program too) stays quiet, and it is what Python does when
    // it leaves the C locale (PEP 538).
    Utf8Locale::ensure();
    Log::install();
    CommandLine::nameTheProgram();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const std::optional<int> status = CommandLine::answerInformationRequests(arguments))
        return *status;
    if (const std::optional<int> status = DesktopShortcutsCommand::answer(arguments, RunningExecutable::path()))
        return *status;

    // The toolkit's own options (-display, -platform…) are known only once
    // QApplication has taken them from the arguments. A start without any,
    // as the desktop's autostart makes, claims the instance and binds its
    // hotkeys first where they are X11 grabs: building the QApplication takes
    // longer than all the rest of the start-up, and a press made meanwhile is
    // served at once.
    std::unique_ptr<QApplication> app;
    // From here on a session's SIGTERM ends the program cleanly, also when
    // it comes during the start-up.
    TerminationSignals signals_;
    if (arguments.size() > 1 || !DesktopServices::startsBeforeApplication()) {
        app = std::make_unique<QApplication>(argc, argv);
        if (const std::optional<int> status = CommandLine::rejectUnknown(QApplication::arguments()))
            return *status;
    }

    // A second start shows the running program's editor, or has it activate
    // a button, and leaves before it grabs any hotkey.
    const std::optional<QString> activation = CommandLine::activationTarget(app ? QApplication::arguments() : arguments);
    SingleInstance instance(SingleInstance::socketPathForThisSession());
    switch (activation ? instance.claimToActivate(*activation) : instance.claim()) {
    case SingleInstance::Claim::thisInstance:
        break;
    case SingleInstance::Claim::otherInstanceShown:
        return activation ? CommandLine::reportActivation(*activation, instance.activation()) : 0;
    case SingleInstance::Claim::failed:
        return 1;
    }

    // Without the X server no hotkey or window can work again: leave, with
    // the button file as it is.
    const auto displayLost = [] {
        Log::line(QStringLiteral("❌ Lost the connection to the X server, quitting"));
        if (QThread::currentThread()->loopLevel() > 0)
            QCoreApplication::exit(1);
        else
            std::_Exit(1); // QApplication is being built and would abort()
    };
    const DesktopServices desktop = DesktopServices::forThisSession(displayLost, &WindowInputTime::latest);
    // The web window is loaded at the first web launch, not before; web
    // addresses wait for the event loop, so it exists by then. A press made
    // before the tray and the windows exist builds them first: the editor
    // opened at start must not cover the page the press asked for.
    std::unique_ptr<WebWindowLoader> webWindow;
    std::function<void()> buildShell;
    const auto openWebAddress = [&webWindow, &buildShell](const QString &address, quint64 eventTime) {
        buildShell();
        webWindow->loadURL(address, eventTime);
    };
    // Hotkeys are live from here on, before any window exists.
    HotkeyButtons manager({desktop.shortcuts, desktop.launcher, desktop.permission, openWebAddress, {},
                           RunningExecutable::path(), desktop.windows, {}});
    if (!app) {
        manager.serveBeforeEventLoop();
        app = std::make_unique<QApplication>(argc, argv);
    }
    QGuiApplication::setDesktopFileName(QLatin1String(InstallLayout::appId));
    QApplication::setQuitOnLastWindowClosed(false);
    // Sessions without a desktop environment name no icon theme.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    webWindow = std::make_unique<WebWindowLoader>(WebWindowLoader::defaultPluginPath(), desktop.activator);
    // The tray and the windows come once the event loop runs, so that a press
    // made during start-up launches at once instead of waiting for them.
    std::unique_ptr<VantorelApp> vantorel;
    const auto shell = [&]() -> VantorelApp & {
        if (!vantorel)
            vantorel = std::make_unique<VantorelApp>(
                manager, VantorelApp::Services{desktop.loginItem, desktop.activator,
                                               RunningExecutable::path(), desktop.notifications});
        return *vantorel;
    };
    // A zero timer, not a posted call: timers run after the socket notifiers
    // of the same event loop pass, so presses already waiting go first.
    QTimer shellTimer;
    shellTimer.setSingleShot(true);
    buildShell = [&] { shell(); };
    QObject::connect(&shellTimer, &QTimer::timeout, app.get(), buildShell);
    shellTimer.start(0);
    QObject::connect(&instance, &SingleInstance::showRequested, app.get(), [&] { shell().showShortcutsEditor(); });

    instance.setActivator([&manager](const QString &nameOrId) { return manager.activateButton(nameOrId); });
    if (activation && !manager.activateButton(*activation))
        CommandLine::reportActivation(*activation, SingleInstance::Activation::unknownButton);

    // The start-up thread stops here; the presses it left for the loop (web
    // addresses, desktop entries) come after the shell's timer.
    manager.serveFromEventLoop();
    instance.answerFromEventLoop();
    signals_.watchFromEventLoop();
    QObject::connect(&signals_, &TerminationSignals::received, app.get(), [] { QApplication::quit(); });

    return QApplication::exec();
}
