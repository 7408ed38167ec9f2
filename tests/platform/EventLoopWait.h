#pragma once

#include <functional>

// Runs the Qt event loop (letting it block, as the program's loop does)
// until the condition holds or the time is up; returns the condition.
bool runEventLoopUntil(const std::function<bool()> &condition, int timeoutMs = 3000);

// Runs the event loop for a while whatever happens.
void runEventLoopFor(int ms);
