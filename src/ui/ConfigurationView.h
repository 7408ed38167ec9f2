#pragma once

#include <QWidget>

class HotkeyButtons;
class QLabel;
class QPushButton;

// Tells the user where the button file is and whether global hotkeys can
// work in this session, with a re-check and, while they cannot, a request.
class ConfigurationView : public QWidget {
    Q_OBJECT

public:
    // How long after a request the status is checked again.
    static constexpr int recheckDelayMs = 1000;

    explicit ConfigurationView(HotkeyButtons &manager, QWidget *parent = nullptr);

    const QString &configPath() const { return m_configPath; }

    void refreshPermissionStatus();
    void requestPermission();

    // Re-checks when the program becomes active or inactive, since the user
    // may have changed the desktop meanwhile (started its shortcut service).
    void applicationStateChanged(Qt::ApplicationState state);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showPermission();
    void showDesktopConsent();

    HotkeyButtons &m_manager;
    const QString m_configPath;
    bool m_hotkeysWork = false;
    bool m_wasActive;
    QLabel *m_statusIcon;
    QPushButton *m_requestButton;
    QLabel *m_hint;
    QLabel *m_activateCommand; // what to bind where the session has no shortcut service
    QLabel *m_serviceProblem;  // why the desktop's shortcut service refuses Vantorel, if it does
    // Where the shortcuts go into the desktop's own settings: asking once,
    // and taking them all out again.
    QPushButton *m_giveConsent;
    QPushButton *m_withdrawConsent;
};
