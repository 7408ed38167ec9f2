// Press-to-launch latency, start-up time and idle memory of Vantorel, side
// by side with sxhkd and with a minimal hotkey client (the floor: what the
// X server, XTest and posix_spawn cost by themselves), on one private Xvfb.
// All three bind Super+Alt+F to the same tiny program (launch_stamp), which
// appends the wall-clock time of its start to a file.
//
//   hotkey_latency_bench [--tray] [presses] [starts]   (default 200, 15)
//
// --tray runs trayer on the display first, so that Vantorel finds a system
// tray (without one it opens its editor at start). Needs Xvfb and sxhkd on
// PATH, and trayer for --tray.

#include "BenchProcess.h"
#include "FloorHotkeyClient.h"
#include "SuperAltKeyboard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

long long nowNs()
{
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

// Starts argv with extra environment entries, its output to /dev/null.
pid_t spawnQuiet(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const pid_t pid = spawnProcess(argv, extraEnv, actions);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::vector<long long> readStamps(const std::string &path)
{
    std::vector<long long> stamps;
    std::ifstream in(path);
    long long value;
    while (in >> value)
        stamps.push_back(value);
    return stamps;
}

std::optional<long long> waitForStamp(const std::string &path, size_t count, std::chrono::milliseconds timeout)
{
    std::optional<long long> stamp;
    waitUntil([&] {
        const std::vector<long long> stamps = readStamps(path);
        if (stamps.size() >= count)
            stamp = stamps.at(count - 1);
        return stamp.has_value();
    }, timeout, std::chrono::microseconds(100));
    return stamp;
}

// Presses Super+Alt+F every 2 ms until the target has run once; the time it
// started, or nothing after 5 s.
std::optional<long long> pressUntilLaunched(SuperAltKeyboard &keyboard, const std::string &stampFile)
{
    const long long deadline = nowNs() + 5000000000LL;
    while (nowNs() < deadline) {
        const long long next = nowNs() + 2000000;
        keyboard.press('f');
        do {
            const std::vector<long long> stamps = readStamps(stampFile);
            if (!stamps.empty())
                return stamps.front();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        } while (nowNs() < next);
    }
    return std::nullopt;
}

// What /proc says about the process's memory, in kB.
struct Memory {
    long vmRss = 0, rssAnon = 0, rssFile = 0; // status
    long rss = 0, pss = 0;                    // smaps_rollup
};

long field(const std::string &path, const std::string &key)
{
    std::ifstream in(path);
    std::string name;
    while (in >> name) {
        long value;
        if (name == key && in >> value)
            return value;
        in.ignore(4096, '\n');
    }
    return 0;
}

Memory memoryOf(pid_t pid)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    return {field(proc + "/status", "VmRSS:"), field(proc + "/status", "RssAnon:"),
            field(proc + "/status", "RssFile:"), field(proc + "/smaps_rollup", "Rss:"),
            field(proc + "/smaps_rollup", "Pss:")};
}

// Idle: a second after the first launch, then once VmRSS holds still for
// two readings 250 ms apart (at most 5 s more).
Memory settledMemoryOf(pid_t pid)
{
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Memory last = memoryOf(pid);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const Memory now = memoryOf(pid);
        if (now.vmRss == last.vmRss)
            return now;
        last = now;
    }
    return last;
}

struct Summary {
    double min, median, p95;
};

Summary summarize(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values.at(size_t(q * double(values.size() - 1) + 0.5)); };
    return {values.front(), at(0.5), at(0.95)};
}

void report(const char *what, const Summary &s)
{
    std::printf("  %-24s min %7.2f  median %7.2f  p95 %7.2f ms\n", what, s.min, s.median, s.p95);
}

// A program under test, and how to start it.
struct Contender {
    std::string name;
    std::function<pid_t()> start;
    bool measureMemory = false;
};

struct Results {
    std::vector<double> firstLaunch; // spawn to first launched target, ms
    std::vector<double> latency;     // press to launch, ms
};

// Spawn to the first press that launches the target, pressing every 2 ms.
std::optional<double> spawnToFirstLaunch(const Contender &who, SuperAltKeyboard &keyboard,
                                         const std::string &stampFile)
{
    fs::remove(stampFile);
    const long long started = nowNs();
    const pid_t pid = who.start();
    const std::optional<long long> stamp = pressUntilLaunched(keyboard, stampFile);
    stopProcess(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!stamp)
        return std::nullopt;
    return double(*stamp - started) / 1e6;
}

Results measure(const Contender &who, SuperAltKeyboard &keyboard, const std::string &stampFile, int presses,
                int starts)
{
    std::printf("%s\n", who.name.c_str());
    Results results;
    for (int i = 0; i < starts; ++i) {
        if (const std::optional<double> ms = spawnToFirstLaunch(who, keyboard, stampFile))
            results.firstLaunch.push_back(*ms);
    }
    if (results.firstLaunch.empty()) {
        std::printf("  hotkeys never came live\n");
        return results;
    }
    report("spawn to first launch", summarize(results.firstLaunch));

    fs::remove(stampFile);
    const pid_t pid = who.start();
    // sxhkd started under a stream of presses stops answering after its
    // first launch; give every program time to start before the first press.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The first launch also warms the program and the target up.
    pressUntilLaunched(keyboard, stampFile);
    // A press still on its way launches once more: let it land before the count starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (who.measureMemory) {
        const Memory m = settledMemoryOf(pid);
        std::printf("  idle memory              VmRSS %.1f MB (anon %.1f, file %.1f)  smaps Rss %.1f  Pss %.1f MB\n",
                    double(m.vmRss) / 1024.0, double(m.rssAnon) / 1024.0, double(m.rssFile) / 1024.0,
                    double(m.rss) / 1024.0, double(m.pss) / 1024.0);
    }
    fs::remove(stampFile);
    for (int i = 0; i < presses; ++i) {
        const long long sent = keyboard.press('f');
        const std::optional<long long> stamp =
            waitForStamp(stampFile, results.latency.size() + 1, std::chrono::seconds(2));
        if (!stamp) {
            std::printf("  press %d launched nothing\n", i);
            break;
        }
        results.latency.push_back(double(*stamp - sent) / 1e6);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    stopProcess(pid);
    if (!results.latency.empty())
        report("press to launch", summarize(results.latency));
    return results;
}

double median(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : summarize(values).median;
}
} // namespace

int main(int argc, char **argv)
{
    bool tray = false;
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tray") == 0)
            tray = true;
        else
            numbers.push_back(std::atoi(argv[i]));
    }
    const int presses = numbers.size() > 0 ? numbers[0] : 200;
    const int starts = numbers.size() > 1 ? numbers[1] : 15;

    const fs::path work = fs::temp_directory_path() / ("hotkey-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    const std::string stampFile = (work / "stamps").string();

    const std::optional<PrivateDisplay> display = startPrivateDisplay((work / "display").string(), "/dev/null");
    if (!display)
        return 1;
    SuperAltKeyboard keyboard;
    if (!keyboard.isConnected())
        return 1;
    pid_t trayer = -1;
    if (tray) {
        trayer = spawnQuiet({"trayer"}, {});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }

    // All bind Super+Alt+F to the same target.
    const fs::path home = work / "home";
    fs::create_directories(home);
    {
        std::ofstream buttons(home / ".vantorel");
        buttons << R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Stamp","shortcut":"⌘ + ⌥ + F",)"
                << R"("appURLString":"file://)" << LAUNCH_STAMP << R"("}])";
        std::ofstream sxhkdrc(work / "sxhkdrc");
        sxhkdrc << "super + alt + f\n    " << LAUNCH_STAMP << "\n";
    }
    const std::string stampEnv = "LAUNCH_STAMP_FILE=" + stampFile;
    // The floor client inherits this process's environment.
    setenv("LAUNCH_STAMP_FILE", stampFile.c_str(), 1);
    const std::vector<Contender> contenders{
        {"vantorel (xcb plugin)",
         [&] { return spawnQuiet({VANTOREL_BINARY}, {stampEnv, "HOME=" + home.string(), "QT_QPA_PLATFORM=xcb"}); },
         true},
        {"sxhkd", [&] { return spawnQuiet({"sxhkd", "-c", (work / "sxhkdrc").string()}, {stampEnv}); }, true},
        {"floor (minimal xcb client)", [] { return startFloorHotkeyClient(LAUNCH_STAMP, 'f'); }},
    };

    std::printf("Xvfb %s%s, %d presses, %d starts each\n", display->name.c_str(), tray ? " with trayer" : "",
                presses, starts);
    std::vector<Results> results;
    for (const Contender &who : contenders)
        results.push_back(measure(who, keyboard, stampFile, presses, starts));
    std::printf("vantorel - floor, press to launch (medians): %.3f ms\n",
                median(results[0].latency) - median(results[2].latency));

    stopProcess(trayer);
    stopProcess(display->xvfb);
    fs::remove_all(work);
    return 0;
}
