#include "LaunchPadWindowController.h"

#include "ShortcutsEditorView.h"
#include "LaunchPadWindow.h"
#include "WindowRaise.h"

#include <QVBoxLayout>

LaunchPadWindowController::LaunchPadWindowController(HotKeyManager &manager,
                                                     std::shared_ptr<WindowActivator> activator, QObject *parent)
    : QObject(parent), m_manager(manager), m_activator(std::move(activator)),
      m_window(std::make_unique<LaunchPadWindow>())
{
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
}

LaunchPadWindowController::~LaunchPadWindowController() = default;

void LaunchPadWindowController::showWindow()
{
    if (!m_view) {
        m_view = new ShortcutsEditorView(m_manager, m_window.get());
        m_window->layout()->addWidget(m_view);
        connect(m_view, &ShortcutsEditorView::configurationRequested, this,
                &LaunchPadWindowController::configurationRequested);
    }
    WindowRaise::showInFront(*m_window, m_activator);
}
