#pragma once

#include <functional>

// The one way tests wait: runs the Qt event loop, letting it block as the
// program's loop does (in-process servers and watchers answer meanwhile),
// until the condition holds or the time is up; returns the condition.
bool runEventLoopUntil(const std::function<bool()> &condition, int timeoutMs = 3000);
