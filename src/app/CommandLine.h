#pragma once

#include "SingleInstance.h"

#include <QString>
#include <QStringList>

#include <optional>

// The program's options. --help and --version are answered before the
// program connects to a display, so they work in any terminal.
class CommandLine {
public:
    // The exit status when the arguments only ask for help or the version
    // (printed on standard output); nothing when the program should go on.
    static std::optional<int> answerInformationRequests(const QStringList &arguments);

    // --add-desktop-shortcuts and --remove-desktop-shortcuts: done at once,
    // without the toolkit or a display (see DesktopShortcutsCommand); the
    // exit status, or nothing when neither is asked for.
    static std::optional<int> answerDesktopShortcutRequests(const QStringList &arguments, const QString &programPath);

    // After the toolkit has taken its own options from the arguments: 2 and
    // one line on standard error for anything the program does not know.
    static std::optional<int> rejectUnknown(const QStringList &arguments);

    // The button --activate names (its name or id), if any.
    static std::optional<QString> activationTarget(const QStringList &arguments);
    // The exit status of a start that asked for an activation: 0 when the
    // button was launched, else 2 (no such button) or 1 (no answer), with one
    // line on standard error.
    static int reportActivation(const QString &target, SingleInstance::Activation result);
};
