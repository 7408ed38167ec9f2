#include "app/ShortcutsEditorWindowController.h"

#include "app/ShortcutsEditorWindow.h"
#include "app/WindowRaise.h"
#include "ui/ShortcutsEditorView.h"

#include <QVBoxLayout>

ShortcutsEditorWindowController::ShortcutsEditorWindowController(HotkeyButtons &manager,
                                                                 std::shared_ptr<WindowActivator> activator,
                                                                 QObject *parent)
    : QObject(parent), m_manager(manager), m_activator(std::move(activator)),
      m_window(std::make_unique<ShortcutsEditorWindow>())
{
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
}

ShortcutsEditorWindowController::~ShortcutsEditorWindowController() = default;

void ShortcutsEditorWindowController::showWindow()
{
    if (!m_view) {
        m_view = new ShortcutsEditorView(m_manager, m_window.get());
        m_window->layout()->addWidget(m_view);
        connect(m_view, &ShortcutsEditorView::configurationRequested, this,
                &ShortcutsEditorWindowController::configurationRequested);
    }
    WindowRaise::showInFront(*m_window, m_activator);
}
