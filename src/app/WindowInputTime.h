#pragma once

#include <QtGlobal>

namespace WindowInputTime {
// The X server time of the user's latest key press or click in one of the
// program's own windows, as Qt's xcb platform saw it; 0 on other platforms
// (offscreen, Wayland) or before any input.
quint32 latest();
} // namespace WindowInputTime
