#include "app/TrayIcon.h"

#include "app/TraySymbolEngine.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

TrayIcon::TrayIcon(QObject *parent)
    : QObject(parent), m_menu(new QMenu), m_icon(new QSystemTrayIcon(QIcon(new TraySymbolEngine), this))
{
    QAction *editor = m_menu->addAction(tr("Shortcuts Editor"));
    connect(editor, &QAction::triggered, this, &TrayIcon::shortcutsEditorRequested);
    m_menu->addSeparator();
    // No Ctrl+Q beside it: a tray menu's shortcut works only while the
    // menu is open, and the menu has no Quit hotkey to show.
    QAction *quit = m_menu->addAction(tr("Quit"));
    connect(quit, &QAction::triggered, this, &TrayIcon::quitRequested);

    m_icon->setToolTip(QStringLiteral("Scrivara"));
    m_icon->setContextMenu(m_menu);
    // A left click opens the same menu, as a panel item's click would.
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_menu->popup(QCursor::pos());
    });
    m_icon->show();
}

TrayIcon::~TrayIcon()
{
    delete m_menu;
}
