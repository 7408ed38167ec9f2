#include "app/ConfigurationWindowController.h"

#include "app/WindowPlacement.h"
#include "app/WindowRaise.h"
#include "ui/ConfigurationView.h"

#include <QVBoxLayout>
#include <QWidget>

ConfigurationWindowController::ConfigurationWindowController(HotkeyButtons &manager,
                                                             std::shared_ptr<WindowActivator> activator,
                                                             QObject *parent)
    : QObject(parent), m_manager(manager), m_activator(std::move(activator)),
      m_window(std::make_unique<QWidget>(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint
                                                      | Qt::WindowCloseButtonHint))
{
    m_window->setWindowTitle(tr("Configuration"));
    m_window->setFixedSize(contentSize);
    WindowPlacement::centreOnScreen(*m_window);
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
}

ConfigurationWindowController::~ConfigurationWindowController() = default;

void ConfigurationWindowController::showWindow()
{
    if (!m_view) {
        m_view = new ConfigurationView(m_manager, m_window.get());
        m_window->layout()->addWidget(m_view);
    }
    WindowRaise::showInFront(*m_window, m_activator);
}
