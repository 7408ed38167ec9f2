#pragma once

#include "XvfbServer.h"

#include "EventLoopWait.h"

#include <xcb/xproto.h>


// Super+Alt as X modifier bits in Xvfb's modifier map.
inline constexpr uint16_t xSuperAlt = XCB_MOD_MASK_4 | XCB_MOD_MASK_1;
