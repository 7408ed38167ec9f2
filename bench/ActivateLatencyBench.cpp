// `vantorel --activate NAME` against the running program, from the spawn of
// the command to the first instruction of the button's target, side by side
// with a direct posix_spawn of the same target: what a press costs on a
// desktop that runs the command for a shortcut bound in its own settings,
// above what the desktop's own spawn costs anyway.
//
//   activate_latency_bench [rounds] [program]   (default 200, the built vantorel)
//
// The program runs on a private Xvfb (xcb plugin) with one button, "Stamp",
// whose target is launch_stamp; launch_stamp appends the time of its start
// to the file LAUNCH_STAMP_FILE names (the program's file, or the direct
// spawns' own). Each round spawns the command, waits for its stamp and its
// exit, then spawns the target directly and waits for its stamp: both see
// the same machine, and each pair gives one difference.

#include "BenchProcess.h"
#include "BenchStats.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

// The time of the first stamp in path after the first `already`, or nothing after 5 s.
std::optional<long long> waitForStamp(const std::string &path, size_t already)
{
    std::optional<long long> stamp;
    waitUntil([&] {
        const std::vector<long long> stamps = readStamps(path);
        if (stamps.size() > already)
            stamp = stamps.at(already);
        return stamp.has_value();
    }, std::chrono::seconds(5), std::chrono::microseconds(50));
    return stamp;
}

int exitStatusOf(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Spawn to stamp in ms, or nothing when no stamp came or the command failed.
std::optional<double> timeLaunch(const std::vector<std::string> &command, const std::vector<std::string> &env,
                                 const std::string &stamps)
{
    // Counted afresh each time: a launch that came too late for its round
    // is not taken for the next one's.
    const size_t already = readStamps(stamps).size();
    const long long spawned = nowNs();
    const pid_t pid = spawnQuiet(command, env);
    const std::optional<long long> stamp = waitForStamp(stamps, already);
    const int status = exitStatusOf(pid);
    if (!stamp || status != 0) {
        std::printf("  %s: %s (exit status %d)\n", command.front().c_str(), stamp ? "launched" : "no launch", status);
        return std::nullopt;
    }
    return double(*stamp - spawned) / 1e6;
}

void report(const char *what, const Summary &s)
{
    std::printf("  %-40s min %7.2f  median %7.2f  p95 %7.2f ms\n", what, s.min, s.median, s.p95);
}
} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    const std::string program = argc > 2 ? argv[2] : VANTOREL_BINARY;

    const fs::path work = fs::temp_directory_path() / ("activate-bench-" + std::to_string(getpid()));
    const fs::path home = work / "home", runtime = work / "run";
    fs::create_directories(home);
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    {
        std::ofstream buttons(home / ".vantorel");
        buttons << R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Stamp","shortcut":"⌘ + ⌥ + F",)"
                << R"("appURLString":"file://)" << LAUNCH_STAMP << R"("}])";
    }
    // The program and every command share this session.
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");
    const std::optional<PrivateDisplay> display = startPrivateDisplay((work / "display").string(), "/dev/null");
    if (!display)
        return 1;

    const std::string viaProgram = (work / "stamps-activate").string(), direct = (work / "stamps-direct").string();
    const pid_t vantorel = spawnQuiet({program}, {"LAUNCH_STAMP_FILE=" + viaProgram});
    const std::vector<std::string> activate{program, "--activate", "Stamp"}, target{LAUNCH_STAMP};
    const std::vector<std::string> directEnv{"LAUNCH_STAMP_FILE=" + direct};
    // Warm-up: the program has started, and both paths have run once.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (int i = 0; i < 5; ++i) {
        timeLaunch(activate, {}, viaProgram);
        timeLaunch(target, directEnv, direct);
    }

    std::vector<double> viaActivate, viaSpawn, differences;
    for (int i = 0; i < rounds; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::optional<double> a = timeLaunch(activate, {}, viaProgram);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::optional<double> b = timeLaunch(target, directEnv, direct);
        if (!a || !b)
            continue;
        viaActivate.push_back(*a);
        viaSpawn.push_back(*b);
        differences.push_back(*a - *b);
    }
    stopProcess(vantorel);
    stopProcess(display->xvfb);
    fs::remove_all(work);

    std::printf("%s, Xvfb %s, %d rounds, %zu complete\n", program.c_str(), display->name.c_str(), rounds,
                viaActivate.size());
    if (viaActivate.empty())
        return 1;
    report("vantorel --activate: spawn to target", summarize(viaActivate));
    report("direct posix_spawn: spawn to target", summarize(viaSpawn));
    report("--activate - direct, per round", summarize(differences));
    std::printf("  difference of medians %.2f ms (target: at most 3 ms)\n",
                summarize(viaActivate).median - summarize(viaSpawn).median);
    return 0;
}
