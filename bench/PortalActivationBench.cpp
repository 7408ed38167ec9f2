// Activation-to-launch latency of Vantorel on the GlobalShortcuts portal,
// side by side with a floor receiver (FloorPortalReceiver.cpp: a QtDBus
// client that only subscribes to Activated and posix_spawns). Both run on a
// private session bus with the tests' fake portal in this process and
// launch the same tiny program (launch_stamp), which appends the wall-clock
// time of its start to the file LAUNCH_STAMP_FILE names, one file each.
// Vantorel runs as in a GNOME Wayland session (no display, offscreen Qt)
// and binds its one button through the fake portal. Activations alternate
// (Vantorel, floor, Vantorel, …), so both see the same machine and their
// difference does not drift with it.
//
//   portal_activation_bench [activations]   (default 200)

#include "BenchProcess.h"
#include "BenchStats.h"
#include "EventLoopWait.h"
#include "PrivateSessionBus.h"
#include "fake/FakeShortcutPortal.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

void report(const char *what, const Summary &s)
{
    std::printf("  %-34s min %7.3f  median %7.3f  p95 %7.3f ms\n", what, s.min, s.median, s.p95);
}

// One receiver of activations: the id and session it answers, and the file
// its launches stamp.
struct Contender {
    QString id;
    QString session;
    std::string stampFile;
};

// Sends one activation; the time from just before the send to the target's
// start, or nothing after 2 s.
std::optional<double> activateOnce(FakeShortcutPortal &portal, const Contender &who, quint64 timestamp)
{
    const size_t before = readStamps(who.stampFile).size();
    const long long sent = nowNs();
    portal.activate(who.id, timestamp, who.session);
    std::optional<long long> stamp;
    waitUntil([&] {
        const std::vector<long long> stamps = readStamps(who.stampFile);
        if (stamps.size() > before)
            stamp = stamps.at(before);
        return stamp.has_value();
    }, std::chrono::seconds(2), std::chrono::microseconds(50));
    if (!stamp)
        return std::nullopt;
    return double(*stamp - sent) / 1e6;
}

// Activates until the target runs once: both receivers warm up, and the
// floor has subscribed by then.
bool warmUp(FakeShortcutPortal &portal, const Contender &who)
{
    for (int i = 0; i < 50; ++i) {
        if (activateOnce(portal, who, 0))
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char **argv)
{
    const int activations = argc > 1 ? std::atoi(argv[1]) : 200;
    const fs::path work = fs::temp_directory_path() / ("portal-bench-" + std::to_string(getpid()));
    fs::create_directories(work / "home");
    fs::create_directories(work / "runtime");
    fs::permissions(work / "runtime", fs::perms::owner_all);
    {
        std::ofstream buttons(work / "home" / ".vantorel");
        buttons << R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Stamp","shortcut":"⌘ + ⌥ + F",)"
                << R"("appURLString":"file://)" << LAUNCH_STAMP << R"("}])";
    }
    // As in a Wayland session: no display, whatever this shell has.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("VANTOREL_HOTKEYS");

    PrivateSessionBus bus; // before any thread: it forks the daemon
    if (!bus.isRunning()) {
        std::fprintf(stderr, "%s\n", qPrintable(bus.error()));
        return 1;
    }
    QCoreApplication app(argc, argv);
    FakeShortcutPortal portal(bus.connect(QStringLiteral("portal")));
    if (!portal.isRunning())
        return 1;

    const Contender vantorel{QStringLiteral("1B4E28BA-2FA1-11D2-883F-0016D3CCA427"), QString(),
                             (work / "stamps-vantorel").string()};
    const Contender floorReceiver{QStringLiteral("floor"), QStringLiteral("/org/freedesktop/portal/desktop/session/floor/1"),
                                  (work / "stamps-floor").string()};
    const pid_t program = spawnQuiet({VANTOREL_BINARY},
                                     {"LAUNCH_STAMP_FILE=" + vantorel.stampFile, "HOME=" + (work / "home").string(),
                                      "XDG_CONFIG_HOME=" + (work / "config").string(),
                                      "XDG_RUNTIME_DIR=" + (work / "runtime").string(), "QT_QPA_PLATFORM=offscreen",
                                      "XDG_SESSION_TYPE=wayland", "XDG_CURRENT_DESKTOP=GNOME"});
    const pid_t floor = spawnQuiet({FLOOR_RECEIVER, LAUNCH_STAMP, "floor"},
                                   {"LAUNCH_STAMP_FILE=" + floorReceiver.stampFile});
    // The fake answers Vantorel's session and bind on this thread's event loop.
    const bool bound = runEventLoopUntil([&] { return portal.bindCount() == 1; }, 20000);
    runEventLoopUntil([] { return false; }, 500);
    if (!bound || !warmUp(portal, vantorel) || !warmUp(portal, floorReceiver)) {
        std::fprintf(stderr, "%s\n", bound ? "no launch after an activation" : "Vantorel never bound its shortcut");
        stopProcess(program);
        stopProcess(floor);
        fs::remove_all(work);
        return 1;
    }

    std::printf("private bus, fake portal in the benchmark, %d activations each, alternating; "
                "vantorel = offscreen Qt, floor = QtDBus receiver + posix_spawn\n",
                activations);
    std::vector<double> ofVantorel, ofFloor, differences;
    for (int i = 0; i < activations; ++i) {
        const std::optional<double> a = activateOnce(portal, vantorel, quint64(i));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::optional<double> b = activateOnce(portal, floorReceiver, quint64(i));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!a || !b) {
            std::printf("  activation %d launched nothing (%s)\n", i, a ? "floor" : "vantorel");
            continue;
        }
        ofVantorel.push_back(*a);
        ofFloor.push_back(*b);
        differences.push_back(*a - *b);
    }
    if (!differences.empty()) {
        report("vantorel: activation to launch", summarize(ofVantorel));
        report("floor: activation to launch", summarize(ofFloor));
        report("vantorel - floor, per pair", summarize(differences));
        std::printf("vantorel - floor: median of pairs %.3f ms, difference of medians %.3f ms (target <= 0.3 ms)\n",
                    summarize(differences).median, summarize(ofVantorel).median - summarize(ofFloor).median);
    }
    stopProcess(program);
    stopProcess(floor);
    fs::remove_all(work);
    return differences.empty() ? 1 : 0;
}
