#include "platform/gnome/GnomeShortcutWriter.h"

#include "platform/XkbKeyTable.h"
#include "platform/gnome/GnomeAccelerator.h"
#include "platform/gnome/GnomeCustomShortcuts.h"
#include "platform/gnome/GnomeKeybindingHolders.h"

#include <QSet>

namespace {
// One argument of a desktop entry's Exec line: quoted where it holds a
// reserved character, '"', '`', '$' and '\\' escaped inside the quotes, and
// '%' doubled everywhere (a field code otherwise).
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted = argument;
    quoted.replace(QLatin1Char('%'), QLatin1String("%%"));
    const bool needsQuotes = argument.isEmpty()
        || std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes)
        return quoted;
    QString escaped;
    for (const QChar c : std::as_const(quoted)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}
} // namespace

GnomeShortcutWriter::GnomeShortcutWriter(GnomeCustomShortcuts &shortcuts, const GnomeKeybindingHolders &holders,
                                         QString programPath)
    : m_shortcuts(shortcuts), m_holders(holders), m_programPath(std::move(programPath))
{
}

QString GnomeShortcutWriter::commandFor(const QString &programPath, const QString &actionId)
{
    return execArgument(programPath) + QStringLiteral(" --activate ") + execArgument(actionId);
}

QString GnomeShortcutWriter::entryNameFor(const QString &description)
{
    return QStringLiteral("Vantorel: ") + description;
}

QHash<QString, ShortcutState> GnomeShortcutWriter::writeAll(const QList<ShortcutRequest> &requests)
{
    QSet<QString> wanted;
    for (const ShortcutRequest &request : requests)
        wanted.insert(request.actionId);
    // Entries of buttons that are gone leave first: their keys are free then.
    for (const QString &id : m_shortcuts.ourActionIds()) {
        if (!wanted.contains(id))
            m_shortcuts.remove(id);
    }
    QHash<QString, ShortcutState> states;
    for (const ShortcutRequest &request : requests)
        states.insert(request.actionId, write(request));
    return states;
}

ShortcutState GnomeShortcutWriter::write(const ShortcutRequest &request)
{
    const bool present = m_shortcuts.ourActionIds().contains(request.actionId);
    const QString binding = GnomeAccelerator::fromCombination(request.trigger);
    if (binding.isEmpty()) {
        if (present)
            m_shortcuts.remove(request.actionId);
        return {ShortcutState::Kind::KeyUnavailable, {},
                QStringLiteral("GNOME has no name for the key %1").arg(XkbKeyTable::name(request.trigger.key()))};
    }
    if (const std::optional<QString> holder = m_holders.holderOf(request.trigger)) {
        if (present)
            m_shortcuts.remove(request.actionId);
        return {ShortcutState::Kind::TakenElsewhere, {}, *holder};
    }
    const GnomeCustomShortcuts::Entry entry{entryNameFor(request.description),
                                            commandFor(m_programPath, request.actionId), binding};
    if (!m_shortcuts.put(request.actionId, entry))
        return {ShortcutState::Kind::Failed, {}, QStringLiteral("GNOME's custom shortcuts cannot be written")};
    return {ShortcutState::Kind::Live, GnomeAccelerator::displayText(request.trigger), {}};
}
