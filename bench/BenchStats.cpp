#include "BenchStats.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>

long long nowNs()
{
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

std::vector<long long> readStamps(const std::string &path)
{
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<long long> stamps;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        stamps.push_back(std::stoll(text.substr(start, end - start)));
    return stamps;
}

Summary summarize(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values.at(size_t(q * double(values.size() - 1) + 0.5)); };
    return {values.front(), at(0.5), at(0.95)};
}
