#include "ui/HotkeyStateBadge.h"

#include "ui/Icons.h"

#include <QCoreApplication>

QIcon HotkeyStateBadge::icon(ShortcutState::Kind kind)
{
    // Bundled drawings: their colour is the message, dark and light enough to
    // stand out on light and dark palettes alike.
    switch (kind) {
    case ShortcutState::Kind::Live:
        return Icons::bundled(QStringLiteral("checkmark.circle.fill"));
    case ShortcutState::Kind::Pending:
        return Icons::symbolic({}, QStringLiteral("arrow.clockwise")); // grey is no message
    default:
        return Icons::bundled(QStringLiteral("exclamationmark.circle.fill"));
    }
}

QString HotkeyStateBadge::toolTip(const ShortcutState &state)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("HotkeyStateBadge", text); };
    QString headline;
    switch (state.kind) {
    case ShortcutState::Kind::Live:
        headline = state.assignedTrigger.isEmpty() ? tr("Hotkey works")
                                                   : tr("Hotkey works: %1").arg(state.assignedTrigger);
        break;
    case ShortcutState::Kind::Pending:
        headline = tr("Waiting for the desktop to approve this hotkey");
        break;
    case ShortcutState::Kind::TakenElsewhere:
        headline = tr("Another program holds this combination");
        break;
    case ShortcutState::Kind::KeyUnavailable:
        headline = tr("This keyboard has no such key");
        break;
    case ShortcutState::Kind::Declined:
        headline = tr("The hotkey was declined in the desktop's dialog");
        break;
    case ShortcutState::Kind::Failed:
        headline = tr("The hotkey could not be registered");
        break;
    case ShortcutState::Kind::NoService:
        headline = tr("No global shortcut service in this session");
        break;
    }
    return state.detail.isEmpty() ? headline : headline + QLatin1Char('\n') + state.detail;
}
