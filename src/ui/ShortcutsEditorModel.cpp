#include "ui/ShortcutsEditorModel.h"

#include "hotkeys/HotkeyButtons.h"
#include "model/KeyboardShortcut.h"
#include "ui/HotkeyStateBadge.h"

ShortcutsEditorModel::ShortcutsEditorModel(HotkeyButtons &manager, QObject *parent)
    : QAbstractListModel(parent), m_manager(manager)
{
    copyButtons();
    connect(&manager, &HotkeyButtons::buttonsChanged, this, [this] {
        beginResetModel();
        copyButtons();
        endResetModel();
    });
    connect(&manager, &HotkeyButtons::hotkeyStateChanged, this, &ShortcutsEditorModel::hotkeyStateChanged);
    connect(&manager, &HotkeyButtons::launchFailed, this, &ShortcutsEditorModel::launchFailed);
    connect(&manager, &HotkeyButtons::launchStarted, this, &ShortcutsEditorModel::forgetLaunchFailure);
}

void ShortcutsEditorModel::launchFailed(QUuid buttonId, const QString &reason)
{
    m_launchFailures.insert(buttonId, reason);
    hotkeyStateChanged(buttonId);
}

void ShortcutsEditorModel::forgetLaunchFailure(QUuid buttonId)
{
    if (m_launchFailures.remove(buttonId))
        hotkeyStateChanged(buttonId);
}

void ShortcutsEditorModel::copyButtons()
{
    m_buttons = m_manager.buttons();
    m_rows.clear();
    m_rows.reserve(m_buttons.size());
    for (int row = 0; row < m_buttons.size(); ++row)
        m_rows.insert(m_buttons.at(row).id(), row);
}

void ShortcutsEditorModel::hotkeyStateChanged(QUuid buttonId)
{
    const auto row = m_rows.constFind(buttonId);
    if (row == m_rows.constEnd())
        return;
    const QModelIndex changed = index(*row);
    Q_EMIT dataChanged(changed, changed, {HotkeyStateRole, HotkeyStateTextRole, LaunchFailureRole});
}

void ShortcutsEditorModel::deleteButtons(QList<qsizetype> positions)
{
    m_manager.removeButtons(std::move(positions));
}

namespace {
// Web addresses show in the program's own window; everything else is an application.
bool isApplication(const LaunchButton &button)
{
    return button.appURLString && !button.appURLString->startsWith(QLatin1String("http://"))
        && !button.appURLString->startsWith(QLatin1String("https://"));
}
} // namespace

int ShortcutsEditorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_buttons.size());
}

QVariant ShortcutsEditorModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_buttons.size())
        return {};
    const LaunchButton &button = m_buttons.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return button.name;
    case ShortcutRole:
        // The file's text form, whatever way the file spells it.
        return parseShortcutText(button.shortcut).displayString();
    case HotkeyStateRole:
        if (const std::optional<ShortcutState> state = m_manager.hotkeyState(button.id()))
            return int(state->kind);
        return {};
    case LaunchFailureRole: {
        const auto failure = m_launchFailures.constFind(button.id());
        if (failure == m_launchFailures.constEnd())
            return {};
        return tr("The last launch failed: %1").arg(*failure);
    }
    case HotkeyStateTextRole: {
        const std::optional<ShortcutState> state = m_manager.hotkeyState(button.id());
        if (!state)
            return {};
        QString text = HotkeyStateBadge::toolTip(*state);
        if (const QVariant failure = data(index, LaunchFailureRole); failure.isValid())
            text = failure.toString() + QLatin1Char('\n') + text;
        if (isApplication(button) && m_manager.launchMode(button.id()) == ButtonPreferences::LaunchMode::bringToFront
            && !m_manager.canBringToFront())
            text += QLatin1Char('\n') + tr("Bring to front works on X11 only: here a new copy starts");
        return text;
    }
    default:
        return {};
    }
}
