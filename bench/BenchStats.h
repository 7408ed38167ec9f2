#pragma once

// The clock, the launch stamps and the summaries the latency benchmarks share.

#include <string>
#include <vector>

// CLOCK_REALTIME in nanoseconds, the clock launch_stamp writes.
long long nowNs();

// The stamps launch_stamp has written to path so far, one per line; a line
// still being written is not one yet.
std::vector<long long> readStamps(const std::string &path);

struct Summary {
    double min, median, p95;
};

// values must not be empty.
Summary summarize(std::vector<double> values);
