#include "LaunchPadViewModel.h"

#include "HotKeyManager.h"

LaunchPadViewModel::LaunchPadViewModel(HotKeyManager &manager, QObject *parent)
    : QAbstractListModel(parent), m_manager(manager), m_buttons(manager.buttons())
{
}

void LaunchPadViewModel::copyFromManager()
{
    beginResetModel();
    m_buttons = m_manager.buttons();
    endResetModel();
}

void LaunchPadViewModel::deleteButtons(QList<qsizetype> positions)
{
    m_manager.removeButtons(std::move(positions));
    m_manager.saveButtons();
    m_manager.unregisterAllShortcuts();
    m_manager.registerAllShortcuts();
    copyFromManager();
}

int LaunchPadViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_buttons.size());
}

QVariant LaunchPadViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_buttons.size())
        return {};
    const LaunchButton &button = m_buttons.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return button.name;
    case ShortcutRole:
        return button.shortcut;
    default:
        return {};
    }
}
