#pragma once

#include <QObject>
#include <QSize>

#include <memory>

class HotkeyButtons;
class ConfigurationView;
class QWidget;
class WindowActivator;

// Owns the one "Configuration" window: fixed in size, above normal windows,
// hidden (not destroyed) when closed. Its view comes with the first showing.
class ConfigurationWindowController : public QObject {
    Q_OBJECT

public:
    static constexpr QSize contentSize{400, 300};

    ConfigurationWindowController(HotkeyButtons &manager, std::shared_ptr<WindowActivator> activator,
                                  QObject *parent = nullptr);
    ~ConfigurationWindowController() override;

    QWidget &window() const { return *m_window; }
    // Null until the window has been shown once.
    ConfigurationView *view() const { return m_view; }

    void showWindow();

private:
    HotkeyButtons &m_manager;
    std::shared_ptr<WindowActivator> m_activator;
    std::unique_ptr<QWidget> m_window;
    ConfigurationView *m_view = nullptr;
};
