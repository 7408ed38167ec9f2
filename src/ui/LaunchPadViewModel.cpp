#include "LaunchPadViewModel.h"

#include "HotKeyManager.h"

LaunchPadViewModel::LaunchPadViewModel(HotKeyManager &manager, QObject *parent)
    : QObject(parent), m_manager(manager), m_buttons(manager.buttons())
{
}

void LaunchPadViewModel::copyFromManager()
{
    m_buttons = m_manager.buttons();
    emit buttonsChanged();
}

void LaunchPadViewModel::deleteButtons(QList<qsizetype> positions)
{
    m_manager.removeButtons(std::move(positions));
    m_manager.saveButtons();
    m_manager.unregisterAllShortcuts();
    m_manager.registerAllShortcuts();
    copyFromManager();
}
