#include "app/CommandLine.h"

#include "app/InstallLayout.h"
#include "channel/ActivationReport.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {
constexpr int usageError = 2;

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption activate{QStringLiteral("activate"),
                                QStringLiteral("Launches the button with this name (or id) as its hotkey would, "
                                               "starting the program first when it is not running. For desktops "
                                               "without global shortcuts: bind this command to a key there."),
                                QStringLiteral("name-or-id")};
    QCommandLineOption addDesktopShortcuts{
        QStringLiteral("add-desktop-shortcuts"),
        QStringLiteral("On GNOME before 48: adds a custom shortcut for each button to GNOME's keyboard settings, "
                       "as the Configuration window does once you agree, and remembers that you did.")};
    QCommandLineOption removeDesktopShortcuts{
        QStringLiteral("remove-desktop-shortcuts"),
        QStringLiteral("Takes every shortcut of this program out of GNOME's keyboard settings again.")};

    Parser()
    {
        parser.addOption(activate);
        parser.addOption(addDesktopShortcuts);
        parser.addOption(removeDesktopShortcuts);
        parser.setApplicationDescription(QStringLiteral(
            "Starts applications and web pages with global keyboard shortcuts, from the system tray.\n"
            "Starting it again while it runs shows the running program's Shortcuts Editor."));
    }
};

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}
} // namespace

void CommandLine::nameTheProgram()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vantorel"));
    QCoreApplication::setApplicationName(QStringLiteral("vantorel"));
    QCoreApplication::setApplicationVersion(QLatin1String(InstallLayout::version));
}

QString CommandLine::helpText()
{
    // Without an application object the parser cannot know the program's name.
    return Parser().parser.helpText().replace(QLatin1String("<executable_name>"),
                                              QCoreApplication::applicationName());
}

QString CommandLine::versionText()
{
    return QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
        + QLatin1Char('\n');
}

std::optional<int> CommandLine::answerInformationRequests(const QStringList &arguments)
{
    Parser p;
    // Unknown options may still be the toolkit's own: judged later.
    p.parser.parse(arguments);
    if (p.parser.isSet(p.help) || p.parser.isSet(QStringLiteral("help-all"))) {
        print(stdout, helpText());
        return 0;
    }
    if (p.parser.isSet(p.version)) {
        print(stdout, versionText());
        return 0;
    }
    return std::nullopt;
}

std::optional<CommandLine::DesktopShortcuts> CommandLine::desktopShortcutsRequest(const QStringList &arguments)
{
    Parser p;
    p.parser.parse(arguments);
    const bool add = p.parser.isSet(p.addDesktopShortcuts);
    const bool remove = p.parser.isSet(p.removeDesktopShortcuts);
    if (add && remove)
        return DesktopShortcuts::both;
    if (add)
        return DesktopShortcuts::add;
    if (remove)
        return DesktopShortcuts::remove;
    return std::nullopt;
}

std::optional<QString> CommandLine::activationTarget(const QStringList &arguments)
{
    Parser p;
    p.parser.parse(arguments);
    if (!p.parser.isSet(p.activate))
        return std::nullopt;
    return p.parser.value(p.activate);
}

int CommandLine::reportActivation(const QString &target, SingleInstance::Activation result)
{
    using Outcome = ActivationReport::Outcome;
    const Outcome outcome = result == SingleInstance::Activation::launched ? Outcome::launched
        : result == SingleInstance::Activation::unknownButton              ? Outcome::unknownButton
                                                                           : Outcome::noAnswer;
    const QByteArray name = target.toLocal8Bit();
    return ActivationReport::report(QCoreApplication::applicationName().toLocal8Bit().constData(),
                                    std::string_view(name.constData(), size_t(name.size())), outcome);
}

std::optional<int> CommandLine::rejectUnknown(const QStringList &arguments)
{
    Parser p;
    const QString program = QCoreApplication::applicationName();
    if (!p.parser.parse(arguments)) {
        print(stderr, program + QStringLiteral(": ") + p.parser.errorText()
                          + QStringLiteral("\nTry '%1 --help' for the options.\n").arg(program));
        return usageError;
    }
    if (!p.parser.positionalArguments().isEmpty()) {
        print(stderr, program + QStringLiteral(": unexpected argument '%1'").arg(p.parser.positionalArguments().first())
                          + QStringLiteral("\nTry '%1 --help' for the options.\n").arg(program));
        return usageError;
    }
    return std::nullopt;
}
