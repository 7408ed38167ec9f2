#include "StatusItem.h"

#include "TraySymbolEngine.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

StatusItem::StatusItem(QObject *parent)
    : QObject(parent), m_menu(new QMenu), m_trayIcon(new QSystemTrayIcon(symbol(), this))
{
    QAction *editor = m_menu->addAction(tr("Shortcuts Editor"));
    connect(editor, &QAction::triggered, this, &StatusItem::shortcutsEditorRequested);
    m_menu->addSeparator();
    // No Ctrl+Q beside it: a tray menu's shortcut works only while the
    // menu is open, and the menu has no Quit hotkey to show.
    QAction *quit = m_menu->addAction(tr("Quit"));
    connect(quit, &QAction::triggered, this, &StatusItem::quitRequested);

    m_trayIcon->setToolTip(QStringLiteral("Scrivara"));
    m_trayIcon->setContextMenu(m_menu);
    // A left click opens the same menu, as a panel item's click would.
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_menu->popup(QCursor::pos());
    });
    m_trayIcon->show();
}

StatusItem::~StatusItem()
{
    delete m_menu;
}

QIcon StatusItem::symbol()
{
    return QIcon(new TraySymbolEngine);
}
