#include "LaunchPadWindow.h"

#include "WindowPlacement.h"

LaunchPadWindow::LaunchPadWindow()
    // A tool window floats with the program and stays out of the taskbar.
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::WindowMinimizeButtonHint)
{
    setWindowTitle(tr("Shortcuts Editor"));
    setFixedSize(contentSize);
    WindowPlacement::centreOnScreen(*this);
}
