#pragma once

#include <cstdint>

// The later of two X server times (0: none), across the clock's wrap.
inline uint32_t laterX11Time(uint32_t a, uint32_t b)
{
    if (a == 0 || b == 0)
        return a ? a : b;
    return int32_t(a - b) > 0 ? a : b;
}
