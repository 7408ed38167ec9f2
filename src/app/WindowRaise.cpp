#include "app/WindowRaise.h"

#include "platform/WindowActivator.h"

#include <QWidget>

void WindowRaise::showInFront(QWidget &window, const std::shared_ptr<WindowActivator> &activator)
{
    if (window.isMinimized())
        window.showNormal();
    window.show();
    window.raise();
    window.activateWindow();
    if (activator)
        activator->activate(window.winId());
}
