#pragma once

class QWidget;

namespace WindowPlacement {
// Puts a top-level window in the middle of the primary screen's free area.
void centreOnScreen(QWidget &window);
} // namespace WindowPlacement
