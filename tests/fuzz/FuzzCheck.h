#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one aborts, which both libFuzzer
// and the corpus replay report as a failure, with the input that broke it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__,   \
                         #condition);                                                          \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
