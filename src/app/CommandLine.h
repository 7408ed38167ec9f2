#pragma once

#include "app/SingleInstance.h"

#include <QString>
#include <QStringList>

#include <optional>

// The program's options, declared here only: the `vantorel` command
// prints the help and version texts this class writes (the build copies
// them) and hands every start it does not answer itself to the program.
// --help and --version are answered before the program connects to a
// display, so they work in any terminal.
class CommandLine {
public:
    // The program's name and version, for the texts below and Qt's settings.
    static void nameTheProgram();
    static QString helpText();
    static QString versionText();

    // The exit status when the arguments only ask for help or the version
    // (printed on standard output); nothing when the program should go on.
    static std::optional<int> answerInformationRequests(const QStringList &arguments);

    // What --add-desktop-shortcuts and --remove-desktop-shortcuts ask for
    // (see DesktopShortcutsCommand); nothing when neither is given.
    enum class DesktopShortcuts { add, remove, both };
    static std::optional<DesktopShortcuts> desktopShortcutsRequest(const QStringList &arguments);

    // After the toolkit has taken its own options from the arguments: 2 and
    // one line on standard error for anything the program does not know.
    static std::optional<int> rejectUnknown(const QStringList &arguments);

    // The button --activate names (its name or id), if any.
    static std::optional<QString> activationTarget(const QStringList &arguments);
    // The exit status of a start that asked for an activation: 0 when the
    // button was launched, else 2 (no such button) or 1 (no answer), with one
    // line on standard error (the `vantorel` command's words).
    static int reportActivation(const QString &target, SingleInstance::Activation result);
};
