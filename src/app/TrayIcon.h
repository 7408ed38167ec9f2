#pragma once

#include <QObject>

class QMenu;
class QSystemTrayIcon;

// The program's item in the panel's system tray, and its menu:
// "Shortcuts Editor", a separator, "Quit".
class TrayIcon : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

    QMenu &menu() const { return *m_menu; }

Q_SIGNALS:
    void shortcutsEditorRequested();
    void quitRequested();

private:
    QMenu *m_menu;
    QSystemTrayIcon *m_icon;
};
