// Press-to-launch latency, start-up time and idle memory of Vantorel, side
// by side with sxhkd and with a minimal hotkey client (the floor: what the
// X server, XTest and posix_spawn cost by themselves), on one private Xvfb.
// All three launch the same tiny program (launch_stamp), which appends the
// wall-clock time of its start to the file LAUNCH_STAMP_FILE names. Vantorel
// and the floor run at the same time, on Super+Alt+F and Super+Alt+G, each
// with its own stamp file, and their presses alternate: both see the same
// machine, so their difference does not drift with it. sxhkd binds
// Super+Alt+F too and runs on its own.
//
// Vantorel and the floor are measured twice in one run: first with no
// system tray on the display, where Vantorel opens its editor at start,
// then with trayer's, where it starts with its tray item only.
//
//   hotkey_latency_bench [presses] [starts]   (default 200, 15; 0 starts
//                                              skips the start-up figures)
//
// Needs Xvfb, sxhkd and trayer on PATH.

#include "BenchProcess.h"
#include "BenchStats.h"
#include "FloorHotkeyClient.h"
#include "SuperAltKeyboard.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <xcb/xcb.h>

namespace {
namespace fs = std::filesystem;

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

// Presses the contender's key every 2 ms until the target has run once; the time it
// started, or nothing after 5 s.
std::optional<long long> pressUntilLaunched(SuperAltKeyboard &keyboard, char letter, const std::string &stampFile)
{
    const long long deadline = nowNs() + 5000000000LL;
    while (nowNs() < deadline) {
        const long long next = nowNs() + 2000000;
        keyboard.press(letter);
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

void report(const std::string &what, const Summary &s)
{
    std::printf("  %-30s min %7.2f  median %7.2f  p95 %7.2f ms\n", what.c_str(), s.min, s.median, s.p95);
}

// A program under test, the key it answers and the file its launches stamp.
struct Contender {
    std::string name;
    char letter;
    std::string stampFile;
    std::function<pid_t()> start;
    bool measureMemory = false;
};

// Spawn to the first press that launches the target, pressing every 2 ms.
std::optional<double> spawnToFirstLaunch(const Contender &who, SuperAltKeyboard &keyboard)
{
    fs::remove(who.stampFile);
    const long long started = nowNs();
    const pid_t pid = who.start();
    const std::optional<long long> stamp = pressUntilLaunched(keyboard, who.letter, who.stampFile);
    stopProcess(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!stamp)
        return std::nullopt;
    return double(*stamp - started) / 1e6;
}

// Spawn to first launch over a number of starts; false if it never worked.
// With no starts asked for, only whether one start works.
bool measureStarts(const Contender &who, SuperAltKeyboard &keyboard, int starts)
{
    std::printf("%s\n", who.name.c_str());
    if (starts == 0)
        return spawnToFirstLaunch(who, keyboard).has_value();
    std::vector<double> firstLaunch;
    for (int i = 0; i < starts; ++i) {
        if (const std::optional<double> ms = spawnToFirstLaunch(who, keyboard))
            firstLaunch.push_back(*ms);
    }
    if (firstLaunch.empty()) {
        std::printf("  hotkeys never came live\n");
        return false;
    }
    report("spawn to first launch", summarize(firstLaunch));
    return true;
}

// Starts the program for the press phase: one warm-up launch, then its idle
// memory if asked for.
pid_t startWarm(const Contender &who, SuperAltKeyboard &keyboard)
{
    fs::remove(who.stampFile);
    const pid_t pid = who.start();
    // sxhkd started under a stream of presses stops answering after its
    // first launch; give every program time to start before the first press.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The first launch also warms the program and the target up.
    pressUntilLaunched(keyboard, who.letter, who.stampFile);
    // A press still on its way launches once more: let it land before the count starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (who.measureMemory) {
        const Memory m = settledMemoryOf(pid);
        std::printf("  %s idle memory: VmRSS %.1f MB (anon %.1f, file %.1f)  smaps Rss %.1f  Pss %.1f MB\n",
                    who.name.c_str(), double(m.vmRss) / 1024.0, double(m.rssAnon) / 1024.0,
                    double(m.rssFile) / 1024.0, double(m.rss) / 1024.0, double(m.pss) / 1024.0);
    }
    fs::remove(who.stampFile);
    return pid;
}

// One press and its launch, then the 15 ms pause before the next press; the
// latency in ms, or nothing if no launch came within 2 s.
std::optional<double> timePress(const Contender &who, SuperAltKeyboard &keyboard, size_t launchesSoFar)
{
    const long long sent = keyboard.press(who.letter);
    const std::optional<long long> stamp = waitForStamp(who.stampFile, launchesSoFar + 1, std::chrono::seconds(2));
    if (!stamp) {
        std::printf("  %s: press %zu launched nothing\n", who.name.c_str(), launchesSoFar);
        return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    return double(*stamp - sent) / 1e6;
}

// The contenders, started together, pressed in turn (a, b, a, b…): press to
// launch of each, index i of every list being round i.
std::vector<std::vector<double>> measureInTurns(const std::vector<const Contender *> &group,
                                                SuperAltKeyboard &keyboard, int presses)
{
    std::vector<pid_t> pids;
    for (const Contender *who : group)
        pids.push_back(startWarm(*who, keyboard));
    std::vector<std::vector<double>> latency(group.size());
    for (int i = 0; i < presses; ++i) {
        bool launched = true;
        for (size_t k = 0; k < group.size() && launched; ++k) {
            const std::optional<double> ms = timePress(*group[k], keyboard, latency[k].size());
            launched = ms.has_value();
            if (launched)
                latency[k].push_back(*ms);
        }
        if (!launched)
            break;
    }
    for (pid_t pid : pids)
        stopProcess(pid);
    for (size_t k = 0; k < group.size(); ++k) {
        if (!latency[k].empty())
            report(group[k]->name + ": press to launch", summarize(latency[k]));
    }
    return latency;
}

double median(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : summarize(values).median;
}

int countLinesStartingWith(const std::string &path, const std::string &prefix)
{
    std::ifstream in(path);
    int count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.starts_with(prefix) ? 1 : 0;
    return count;
}

// Whether a system tray owns the screen's tray selection, as Qt asks.
bool systemTrayShown()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const char name[] = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t *atom
        = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    xcb_get_selection_owner_reply_t *owner = atom ? xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom->atom), nullptr) : nullptr;
    const bool shown = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    std::free(atom);
    xcb_disconnect(connection);
    return shown;
}

// Vantorel and the floor started together, presses alternating: the median
// of the per-pair differences, or nothing if either never launched.
std::optional<double> measureAgainstFloor(const Contender &vantorel, const Contender &floorClient,
                                          SuperAltKeyboard &keyboard, int presses, int starts,
                                          const std::string &vantorelLog)
{
    const bool vantorelLive = measureStarts(vantorel, keyboard, starts);
    const bool floorLive = measureStarts(floorClient, keyboard, starts);
    if (!vantorelLive || !floorLive)
        return std::nullopt;
    std::printf("vantorel and floor together, presses alternating\n");
    const std::vector<std::vector<double>> latency = measureInTurns({&vantorel, &floorClient}, keyboard, presses);
    std::printf("  vantorel's log: %d \"📱 Launching app\" lines for %zu timed launches and the warm-up\n",
                countLinesStartingWith(vantorelLog, "📱 Launching app: "), latency[0].size());
    std::vector<double> differences;
    for (size_t i = 0; i < std::min(latency[0].size(), latency[1].size()); ++i)
        differences.push_back(latency[0][i] - latency[1][i]);
    if (differences.empty())
        return std::nullopt;
    report("vantorel - floor, per pair", summarize(differences));
    std::printf("vantorel - floor, press to launch: median of pairs %.3f ms, difference of medians %.3f ms\n",
                summarize(differences).median, median(latency[0]) - median(latency[1]));
    return summarize(differences).median;
}
} // namespace

int main(int argc, char **argv)
{
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i)
        numbers.push_back(std::atoi(argv[i]));
    const int presses = numbers.size() > 0 ? numbers[0] : 200;
    const int starts = numbers.size() > 1 ? numbers[1] : 15;

    const fs::path work = fs::temp_directory_path() / ("hotkey-bench-" + std::to_string(getpid()));
    fs::create_directories(work);

    const std::optional<PrivateDisplay> display = startPrivateDisplay((work / "display").string(), "/dev/null");
    if (!display)
        return 1;
    SuperAltKeyboard keyboard;
    if (!keyboard.isConnected())
        return 1;
    // Vantorel and sxhkd on Super+Alt+F, the floor on Super+Alt+G.
    const fs::path home = work / "home";
    fs::create_directories(home);
    {
        std::ofstream buttons(home / ".vantorel");
        buttons << R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Stamp","shortcut":"⌘ + ⌥ + F",)"
                << R"("appURLString":"file://)" << LAUNCH_STAMP << R"("}])";
        std::ofstream sxhkdrc(work / "sxhkdrc");
        sxhkdrc << "super + alt + f\n    " << LAUNCH_STAMP << "\n";
    }
    const auto stampsOf = [&](const char *who) { return (work / ("stamps-" + std::string(who))).string(); };
    const std::string vantorelStamps = stampsOf("vantorel"), sxhkdStamps = stampsOf("sxhkd"),
                      floorStamps = stampsOf("floor");
    // Vantorel's log goes to a file, as a session's does, and is checked.
    const std::string vantorelLog = (work / "vantorel-log").string();
    const Contender vantorel{"vantorel", 'f', vantorelStamps, [&] {
        return spawnToFiles({VANTOREL_BINARY}, {"LAUNCH_STAMP_FILE=" + vantorelStamps, "HOME=" + home.string(),
                                                "QT_QPA_PLATFORM=xcb"}, vantorelLog, "/dev/null");
    }, true};
    const Contender sxhkd{"sxhkd", 'f', sxhkdStamps, [&] {
        return spawnQuiet({"sxhkd", "-c", (work / "sxhkdrc").string()}, {"LAUNCH_STAMP_FILE=" + sxhkdStamps});
    }, true};
    const Contender floorClient{"floor", 'g', floorStamps, [] { return startFloorHotkeyClient(LAUNCH_STAMP, 'g'); }};
    // The floor client inherits this process's environment.
    setenv("LAUNCH_STAMP_FILE", floorStamps.c_str(), 1);

    std::printf("Xvfb %s, %d presses, %d starts each; vantorel = xcb plugin, floor = minimal xcb client\n",
                display->name.c_str(), presses, starts);
    if (measureStarts(sxhkd, keyboard, starts))
        measureInTurns({&sxhkd}, keyboard, presses);
    std::printf("\nno system tray: vantorel opens its editor\n");
    const std::optional<double> editorShown
        = measureAgainstFloor(vantorel, floorClient, keyboard, presses, starts, vantorelLog);
    const pid_t trayer = spawnQuiet({"trayer"}, {});
    if (!waitUntil(systemTrayShown, std::chrono::seconds(5), std::chrono::milliseconds(20))) {
        std::printf("trayer showed no system tray\n");
        stopProcess(trayer);
        stopProcess(display->xvfb);
        return 1;
    }
    std::printf("\nwith trayer's system tray: vantorel starts with its tray item only\n");
    const std::optional<double> withTray
        = measureAgainstFloor(vantorel, floorClient, keyboard, presses, starts, vantorelLog);
    std::printf("\nvantorel - floor, median of pairs: editor shown %.3f ms, with tray %.3f ms\n",
                editorShown.value_or(NAN), withTray.value_or(NAN));

    stopProcess(trayer);
    stopProcess(display->xvfb);
    fs::remove_all(work);
    return 0;
}
