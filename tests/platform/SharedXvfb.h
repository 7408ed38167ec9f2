#pragma once

#include "XvfbServer.h"

// One private X server for the whole test binary, started on first use and
// stopped when the binary exits.
XvfbServer &sharedXvfb();
