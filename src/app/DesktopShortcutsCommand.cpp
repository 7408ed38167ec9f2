#include "app/DesktopShortcutsCommand.h"

#include "app/CommandLine.h"
#include "hotkeys/ShortcutId.h"
#include "model/ButtonFile.h"
#include "model/KeyboardShortcut.h"
#include "platform/gnome/GnomeCustomShortcutService.h"
#include "platform/gnome/GnomeCustomShortcuts.h"
#include "platform/gnome/GnomeKeybindingHolders.h"
#include "platform/gnome/GnomeShortcutConsent.h"
#include "platform/gnome/GnomeShortcutWriter.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {
void print(FILE *stream, const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// As the running program asks: one action per button with a key, named by
// the button's id in upper case, for the buttons that own their key.
QList<ShortcutRequest> requestsFor(const LaunchButtonList &buttons)
{
    QList<ShortcutRequest> candidates;
    QList<QKeyCombination> combinations;
    for (const LaunchButton &button : buttons) {
        if (const std::optional<QKeyCombination> combination = parseShortcutText(button.shortcut).keyCombination()) {
            candidates.append({button.id().toString(QUuid::WithoutBraces).toUpper(), button.name, *combination});
            combinations.append(*combination);
        }
    }
    const QList<qsizetype> owners = ShortcutId::owners(combinations);
    QList<ShortcutRequest> requests;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (owners.at(i) == i)
            requests.append(candidates.at(i));
    }
    return requests;
}
} // namespace

int DesktopShortcutsCommand::add(const QString &programPath, const QString &homeDirectory,
                                 const QString &configDirectory)
{
    GnomeCustomShortcuts shortcuts;
    if (!shortcuts.isAvailable()) {
        print(stderr, QStringLiteral("vantorel: ") + shortcuts.why());
        return 1;
    }
    ButtonFile file(homeDirectory + QStringLiteral("/.vantorel"));
    LaunchButtonList buttons;
    if (file.exists()) {
        auto loaded = file.load();
        if (const QString *error = std::get_if<QString>(&loaded)) {
            print(stderr, QStringLiteral("vantorel: cannot read %1: %2").arg(file.path(), *error));
            return 1;
        }
        buttons = std::get<LaunchButtonList>(std::move(loaded));
    }
    // The consent first: a running program that sees the list change reads it.
    if (!GnomeShortcutConsent(configDirectory).set(true))
        return 1;
    const QList<ShortcutRequest> requests = requestsFor(buttons);
    const GnomeKeybindingHolders holders(shortcuts);
    GnomeShortcutWriter writer(shortcuts, holders, programPath);
    const QHash<QString, ShortcutState> states = writer.writeAll(requests);
    shortcuts.flush();
    for (const ShortcutRequest &request : requests) {
        const ShortcutState state = states.value(request.actionId);
        print(stdout, state.kind == ShortcutState::Kind::Live
                          ? QStringLiteral("Added “%1” on %2").arg(request.description, state.assignedTrigger)
                          : QStringLiteral("Not added “%1”: %2").arg(request.description, state.detail));
    }
    print(stdout, GnomeCustomShortcutService::consentRequestText() + QStringLiteral(": done"));
    return 0;
}

int DesktopShortcutsCommand::remove(const QString &configDirectory)
{
    GnomeCustomShortcuts shortcuts;
    if (!shortcuts.isAvailable()) {
        print(stderr, QStringLiteral("vantorel: ") + shortcuts.why());
        return 1;
    }
    if (!GnomeShortcutConsent(configDirectory).set(false))
        return 1;
    const qsizetype count = shortcuts.ourActionIds().size();
    shortcuts.removeAllOurs();
    shortcuts.flush();
    print(stdout, QStringLiteral("Removed %1 of Vantorel's shortcuts from GNOME's keyboard settings").arg(count));
    return 0;
}

std::optional<int> DesktopShortcutsCommand::answer(const QStringList &arguments, const QString &programPath)
{
    const std::optional<CommandLine::DesktopShortcuts> request = CommandLine::desktopShortcutsRequest(arguments);
    if (!request)
        return std::nullopt;
    switch (*request) {
    case CommandLine::DesktopShortcuts::add:
        return add(programPath, QDir::homePath());
    case CommandLine::DesktopShortcuts::remove:
        return remove();
    case CommandLine::DesktopShortcuts::both:
        break;
    }
    print(stderr, QCoreApplication::applicationName()
                      + QStringLiteral(": --add-desktop-shortcuts and --remove-desktop-shortcuts contradict each other"));
    return 2;
}
