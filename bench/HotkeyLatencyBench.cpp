// Press-to-launch latency, start-up time and memory of Vantorel, side by
// side with sxhkd, on one private Xvfb. Both bind Super+Alt+F to the same
// tiny program (launch_stamp), which appends the wall-clock time of its
// start to a file; latency runs from the moment the fake key press is sent
// through XTest to that time.
//
//   hotkey_latency_bench [presses]      (default 200)
//
// Needs Xvfb and sxhkd on PATH.

#include "BenchProcess.h"
#include "SuperAltKeyboard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
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

struct Child {
    pid_t pid = -1;
    int stdoutFd = -1;
};

// Starts argv with extra environment entries, stderr to /dev/null;
// optionally pipes its stdout.
Child spawn(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv, bool pipeStdout)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int fds[2] = {-1, -1};
    if (pipeStdout) {
        if (pipe(fds) != 0)
            std::abort();
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    Child child;
    child.pid = spawnProcess(argv, extraEnv, actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeStdout) {
        close(fds[1]);
        child.stdoutFd = fds[0];
    }
    return child;
}

void stop(Child &child)
{
    stopProcess(child.pid);
    if (child.stdoutFd >= 0)
        close(child.stdoutFd);
    child = {};
}

// Reads the child's output until a line contains text; the time it was seen.
std::optional<long long> waitForOutput(const Child &child, const std::string &text, int timeoutMs)
{
    std::string buffer;
    const long long deadline = nowNs() + timeoutMs * 1000000LL;
    while (nowNs() < deadline) {
        pollfd p{child.stdoutFd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = read(child.stdoutFd, chunk, sizeof chunk);
        if (n <= 0)
            return std::nullopt;
        buffer.append(chunk, size_t(n));
        if (buffer.find(text) != std::string::npos)
            return nowNs();
    }
    return std::nullopt;
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

std::optional<long long> waitForStamp(const std::string &path, size_t count, int timeoutMs)
{
    std::optional<long long> stamp;
    waitUntil([&] {
        const std::vector<long long> stamps = readStamps(path);
        if (stamps.size() >= count)
            stamp = stamps.at(count - 1);
        return stamp.has_value();
    }, std::chrono::milliseconds(timeoutMs), std::chrono::microseconds(100));
    return stamp;
}

struct Memory {
    long rssKb = 0;
    long pssKb = 0;
};

Memory memoryOf(pid_t pid)
{
    Memory m;
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    long value;
    std::string unit;
    while (in >> key) {
        if (key == "Rss:" && in >> value >> unit)
            m.rssKb = value;
        else if (key == "Pss:" && in >> value >> unit)
            m.pssKb = value;
        else
            in.ignore(4096, '\n');
    }
    return m;
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

// A program under test: how to start it, and how to tell it is live.
struct Contender {
    std::string name;
    std::vector<std::string> argv;
    std::vector<std::string> env;
    std::string liveLine; // empty: live once a press launches the target
};

// Start to hotkeys live: the program's own "registered" line when it has
// one, else the first press that launches the target (presses every 2 ms).
std::optional<double> startToLive(const Contender &who, SuperAltKeyboard &keyboard, const std::string &stampFile)
{
    fs::remove(stampFile);
    const long long started = nowNs();
    Child child = spawn(who.argv, who.env, !who.liveLine.empty());
    std::optional<long long> live;
    if (!who.liveLine.empty()) {
        live = waitForOutput(child, who.liveLine, 5000);
    } else {
        while (!live && nowNs() - started < 5000000000LL) {
            keyboard.press('f');
            live = waitForStamp(stampFile, 1, 2);
        }
    }
    stop(child);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!live)
        return std::nullopt;
    return double(*live - started) / 1e6;
}

void report(const char *what, const Summary &s)
{
    std::printf("  %-28s min %7.2f  median %7.2f  p95 %7.2f ms\n", what, s.min, s.median, s.p95);
}
} // namespace

int main(int argc, char **argv)
{
    const int presses = argc > 1 ? std::atoi(argv[1]) : 200;
    const int starts = 10;

    const fs::path work = fs::temp_directory_path() / ("hotkey-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    const std::string stampFile = (work / "stamps").string();

    const std::optional<PrivateDisplay> display = startPrivateDisplay((work / "display").string(), "/dev/null");
    if (!display)
        return 1;
    SuperAltKeyboard keyboard;
    if (!keyboard.isConnected())
        return 1;

    // Both bind Super+Alt+F to the same target.
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
    const std::vector<Contender> contenders{
        {"vantorel (offscreen plugin)", {VANTOREL_BINARY},
         {stampEnv, "HOME=" + home.string(), "QT_QPA_PLATFORM=offscreen"}, "Successfully registered shortcut"},
        {"vantorel (xcb plugin, as on a desktop)", {VANTOREL_BINARY},
         {stampEnv, "HOME=" + home.string(), "QT_QPA_PLATFORM=xcb"}, "Successfully registered shortcut"},
        {"sxhkd", {"sxhkd", "-c", (work / "sxhkdrc").string()}, {stampEnv}, ""},
    };

    std::printf("Xvfb %s, %d presses, %d starts each\n", display->name.c_str(), presses, starts);
    for (const Contender &who : contenders) {
        std::printf("%s\n", who.name.c_str());

        std::vector<double> startTimes;
        for (int i = 0; i < starts; ++i) {
            if (const std::optional<double> ms = startToLive(who, keyboard, stampFile))
                startTimes.push_back(*ms);
        }
        if (startTimes.empty()) {
            std::printf("  hotkeys never came live\n");
            continue;
        }
        report(who.liveLine.empty() ? "start to first launch" : "start to hotkeys live", summarize(startTimes));

        fs::remove(stampFile);
        Child child = spawn(who.argv, who.env, !who.liveLine.empty());
        if (!who.liveLine.empty())
            waitForOutput(child, who.liveLine, 5000);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Memory memory = memoryOf(child.pid);
        // A first press so that the program and the target are warm.
        keyboard.press('f');
        waitForStamp(stampFile, 1, 2000);
        fs::remove(stampFile);

        std::vector<double> latencies;
        for (int i = 0; i < presses; ++i) {
            const long long sent = keyboard.press('f');
            const std::optional<long long> stamp = waitForStamp(stampFile, size_t(latencies.size() + 1), 2000);
            if (!stamp) {
                std::printf("  press %d launched nothing\n", i);
                break;
            }
            latencies.push_back(double(*stamp - sent) / 1e6);
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        stop(child);
        if (!latencies.empty())
            report("press to launch", summarize(latencies));
        std::printf("  memory after start-up        RSS %.1f MB  PSS %.1f MB\n", double(memory.rssKb) / 1024.0,
                    double(memory.pssKb) / 1024.0);
    }

    stopProcess(display->xvfb);
    fs::remove_all(work);
    return 0;
}
