#include "app/CommandLine.h"
#include "app/DesktopShortcutsCommand.h"
#include "app/InstallLayout.h"
#include "app/ProgramShell.h"
#include "app/SingleInstance.h"
#include "app/StartupPhase.h"
#include "app/TerminationSignals.h"
#include "app/WindowInputTime.h"
#include "channel/ProgramEntry.h"
#include "model/Log.h"
#include "platform/DesktopServices.h"
#include "platform/posix/RunningExecutable.h"
#include "platform/posix/Utf8Locale.h"

#include <QApplication>
#include <QIcon>
#include <QThread>

#include <cstdlib>
#include <memory>

namespace {
QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// The toolkit's own options (-display, -platform…) are known only once
// QApplication has taken them from the arguments. A start without any, as
// the desktop's autostart makes, claims the instance and binds its hotkeys
// first where they are X11 grabs: building the QApplication takes longer than
// all the rest of the start-up, and a press made meanwhile is served at once.
std::unique_ptr<QApplication> applicationUnlessHotkeysGoFirst(int &argc, char *argv[], const QStringList &arguments)
{
    if (arguments.size() == 1 && DesktopServices::startsBeforeApplication())
        return nullptr;
    return std::make_unique<QApplication>(argc, argv);
}

// Without the X server no hotkey or window can work again: leave, with the
// button file as it is.
void quitForLostDisplay()
{
    Log::line(QStringLiteral("❌ Lost the connection to the X server, quitting"));
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(1);
    else
        std::_Exit(1); // QApplication is being built and would abort()
}

void describeTheApplication()
{
    QGuiApplication::setDesktopFileName(QLatin1String(InstallLayout::appId));
    QApplication::setQuitOnLastWindowClosed(false);
    // Sessions without a desktop environment name no icon theme.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
}
} // namespace

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
    const QStringList arguments = argumentsOf(argc, argv);
    if (const std::optional<int> status = CommandLine::answerInformationRequests(arguments))
        return *status;
    if (const std::optional<int> status = DesktopShortcutsCommand::answer(arguments, RunningExecutable::path()))
        return *status;

    std::unique_ptr<QApplication> app;
    // From here on a session's SIGTERM ends the program cleanly, also when
    // it comes during the start-up.
    TerminationSignals signals_;
    app = applicationUnlessHotkeysGoFirst(argc, argv, arguments);
    const QStringList options = app ? QApplication::arguments() : arguments;
    if (const std::optional<int> status = CommandLine::rejectUnknown(options))
        return *status;

    // A second start shows the running program's editor, or has it activate
    // a button, and leaves before it grabs any hotkey.
    const std::optional<QString> activation = CommandLine::activationTarget(options);
    SingleInstance instance(SingleInstance::socketPathForThisSession());
    switch (activation ? instance.claimToActivate(*activation) : instance.claim()) {
    case SingleInstance::Claim::thisInstance:
        break;
    case SingleInstance::Claim::otherInstanceShown:
        return activation ? CommandLine::reportActivation(*activation, instance.activation()) : 0;
    case SingleInstance::Claim::failed:
        return 1;
    }

    const DesktopServices desktop = DesktopServices::forThisSession(&quitForLostDisplay, &WindowInputTime::latest);
    // Hotkeys are live from here on, before any window exists.
    ProgramShell program(desktop);
    StartupPhase startup(program.manager(), *desktop.shortcuts);
    if (!app)
        app = startup.buildApplication(argc, argv);
    describeTheApplication();
    program.buildOnceTheLoopRuns();
    QObject::connect(&instance, &SingleInstance::showRequested, app.get(), [&program] { program.showShortcutsEditor(); });
    instance.setActivator([&program](const QString &nameOrId) { return program.manager().activateButton(nameOrId); });
    if (activation && !program.manager().activateButton(*activation))
        CommandLine::reportActivation(*activation, SingleInstance::Activation::unknownButton);
    QObject::connect(&signals_, &TerminationSignals::received, app.get(), [] { QApplication::quit(); });

    // The start-up thread stops here; the presses it left for the loop (web
    // addresses, desktop entries) come after the shell's timer.
    startup.handOverToEventLoop();
    return QApplication::exec();
}
