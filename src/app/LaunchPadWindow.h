#pragma once

#include <QWidget>

// The "Shortcuts Editor" window: small, fixed in size, above normal windows,
// without a taskbar entry of its own. Closing it only hides it.
class LaunchPadWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize contentSize{260, 360};

    LaunchPadWindow();
};
