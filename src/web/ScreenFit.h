#pragma once

#include <QRect>

// Fits a window frame remembered from an earlier session onto the screens
// there are now: a monitor may be gone or smaller.
class ScreenFit {
public:
    // The frame moved (and shrunk if need be) into the available area of the
    // screen it overlaps most, or of the primary screen when it overlaps none.
    static QRect fit(const QRect &frame);
};
