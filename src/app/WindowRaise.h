#pragma once

#include <memory>

class QWidget;
class WindowActivator;

namespace WindowRaise {
// Shows a top-level window and brings it to the front with the focus; the
// activator, when there is one, gets past focus-stealing prevention.
void showInFront(QWidget &window, const std::shared_ptr<WindowActivator> &activator);
} // namespace WindowRaise
