// A long run of the real program on a private Xvfb: many hotkey presses of
// an application button, then many toggles of a web button, checking that
// nothing builds up. The application target is launch_stamp, which appends
// a line per start to a file, so launches can be counted; the web target is
// a page served by Python's http.server on 127.0.0.1, whose request log
// counts the page loads.
//
//   soak_bench [presses] [toggles]      (default 10000 and 500)
//
// Each press waits for its launch before the next (and each toggle for its
// log line, or its page load when it shows the page), so the machine keeps
// up; every wait is bounded and the run stops by itself. Checks, printed at
// the end (exit status 1 if one fails): every press launched exactly once,
// no zombie children, open descriptors flat, resident memory at the end of
// each phase within 10 % of its value after the phase warmed up.
//
// Needs Xvfb and python3 on PATH.

#include "BenchProcess.h"
#include "SuperAltKeyboard.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How often text occurs in a file that only grows; rereads only what is new.
class FileCounter {
public:
    FileCounter(std::string path, std::string text) : m_path(std::move(path)), m_text(std::move(text)) {}

    long count()
    {
        std::ifstream in(m_path, std::ios::binary);
        in.seekg(std::streamoff(m_offset));
        std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Keep an incomplete last line for the next read.
        const size_t end = chunk.rfind('\n');
        if (end == std::string::npos)
            return m_count;
        for (size_t at = chunk.find(m_text); at != std::string::npos && at <= end; at = chunk.find(m_text, at + 1))
            ++m_count;
        m_offset += end + 1;
        return m_count;
    }

private:
    std::string m_path;
    std::string m_text;
    size_t m_offset = 0;
    long m_count = 0;
};

// What the program holds at one moment.
struct Holdings {
    long rssKb = 0;
    long fds = 0;
    long zombies = 0;                 // direct children that exited and were not reaped
    std::map<std::string, int> kinds; // open descriptors by what they are
};

// "socket:[123]" and "pipe:[456]" count as "socket" and "pipe".
std::string kindOf(const fs::path &descriptor)
{
    std::error_code error;
    const std::string target = fs::read_symlink(descriptor, error).string();
    const size_t bracket = target.find(":[");
    return bracket == std::string::npos ? target : target.substr(0, bracket);
}

// The kinds whose count changed, as "kind +n".
std::string changedKinds(const Holdings &before, const Holdings &after)
{
    std::map<std::string, int> difference = after.kinds;
    for (const auto &[kind, count] : before.kinds)
        difference[kind] -= count;
    std::string text;
    for (const auto &[kind, count] : difference) {
        if (count != 0)
            text += (text.empty() ? "" : ", ") + kind + (count > 0 ? " +" : " ") + std::to_string(count);
    }
    return text;
}

Holdings holdingsOf(pid_t pid)
{
    Holdings h;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string key; status >> key;) {
        if (key == "VmRSS:")
            status >> h.rssKb;
        status.ignore(4096, '\n');
    }
    for (const auto &entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        ++h.fds;
        ++h.kinds[kindOf(entry.path())];
    }
    for (const auto &entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // "pid (comm) state ppid ...": the command may hold spaces and parentheses.
        const size_t close = line.rfind(')');
        char state = 0;
        long ppid = 0;
        if (close != std::string::npos && std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) == 2
            && ppid == pid && state == 'Z')
            ++h.zombies;
    }
    return h;
}

// A free TCP port on 127.0.0.1 at this moment.
int freePort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(s);
    return port;
}

int failures = 0;

void check(bool ok, const char *what, const std::string &figures)
{
    std::printf("  %-4s %-44s %s\n", ok ? "ok" : "FAIL", what, figures.c_str());
    failures += ok ? 0 : 1;
}

std::string fromTo(long a, long b, const char *unit = "")
{
    return std::to_string(a) + unit + " -> " + std::to_string(b) + unit;
}

bool withinTenPercent(long reference, long value)
{
    return value * 10 <= reference * 11 && value * 10 >= reference * 9;
}

// Descriptors come and go with the work in flight (a connection, a child's
// pidfd): a leak grows with the count of actions, so allow a small wobble.
constexpr long descriptorWobble = 2;

void checkHoldings(const char *phase, const Holdings &warm, const Holdings &end, const std::vector<Holdings> &series)
{
    std::string fds, rss;
    for (const Holdings &h : series) {
        fds += " " + std::to_string(h.fds);
        rss += " " + std::to_string(h.rssKb / 1024);
    }
    std::printf("  %s, every tenth: descriptors%s; RSS MB%s\n", phase, fds.c_str(), rss.c_str());
    check(end.zombies == 0, "no zombie children", std::to_string(end.zombies));
    const std::string changed = changedKinds(warm, end);
    check(end.fds <= warm.fds + descriptorWobble, "descriptors flat (warm -> end)",
          fromTo(warm.fds, end.fds) + (changed.empty() ? "" : " (" + changed + ")"));
    check(withinTenPercent(warm.rssKb, end.rssKb), "RSS within 10 % (warm -> end)", fromTo(warm.rssKb, end.rssKb, " kB"));
}
} // namespace

int main(int argc, char **argv)
{
    const long presses = argc > 1 ? std::atol(argv[1]) : 10000;
    const long toggles = argc > 2 ? std::atol(argv[2]) : 500;
    const long warmPresses = std::min(presses, 100L);
    const long warmToggles = std::min(toggles, 50L);
    const auto started = Clock::now();

    const fs::path work = fs::temp_directory_path() / ("soak-bench-" + std::to_string(getpid()));
    const fs::path home = work / "home";
    const fs::path site = work / "site";
    fs::create_directories(home);
    fs::create_directories(site);
    const std::string stamps = (work / "stamps").string();
    const std::string programLog = (work / "vantorel.out").string();
    const std::string serverLog = (work / "http.err").string();

    const std::optional<PrivateDisplay> display =
        startPrivateDisplay((work / "display").string(), (work / "xvfb.err").string());
    if (!display)
        return 1;
    SuperAltKeyboard keyboard;
    if (!keyboard.isConnected())
        return 1;

    std::ofstream(site / "page.html") << "<html><body><p>soak</p></body></html>\n";
    const std::string port = std::to_string(freePort());
    const pid_t server = spawnToFiles(
        {"python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", site.string(), port}, {},
        (work / "http.out").string(), serverLog);
    {
        std::ofstream buttons(home / ".vantorel");
        buttons << R"([{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Stamp","shortcut":"⌘ + ⌥ + F",)"
                << R"("appURLString":"file://)" << LAUNCH_STAMP << R"("},)"
                << R"({"id":"6FA459EA-EE8A-3CA4-894E-DB77E160355E","name":"Page","shortcut":"⌘ + ⌥ + W",)"
                << R"("appURLString":"http://127.0.0.1:)" << port << R"(/page.html"}])";
    }
    const pid_t program = spawnToFiles({VANTOREL_BINARY},
                                       {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (work / "config").string(),
                                        "XDG_DATA_HOME=" + (work / "data").string(),
                                        "XDG_RUNTIME_DIR=" + work.string(), "TMPDIR=" + work.string(),
                                        "LAUNCH_STAMP_FILE=" + stamps, "QT_QPA_PLATFORM=xcb",
                                        "QTWEBENGINE_DISABLE_SANDBOX=1"},
                                       programLog, (work / "vantorel.err").string());
    FileCounter registered(programLog, "✅ Successfully registered shortcut");
    if (!waitUntil([&] { return registered.count() >= 2; }, 15000ms)) {
        std::fprintf(stderr, "the program did not register both hotkeys (see %s)\n", programLog.c_str());
        return 1;
    }
    std::printf("Xvfb %s, %ld presses, %ld web toggles, program pid %d\n", display->name.c_str(), presses, toggles,
                int(program));

    // Phase 1: the application button.
    FileCounter launches(stamps, "\n");
    Holdings warm, afterPresses;
    std::vector<Holdings> pressSeries;
    long missed = 0;
    const auto pressesStarted = Clock::now();
    for (long i = 0; i < presses && missed < 20; ++i) {
        keyboard.press('f');
        if (!waitUntil([&] { return launches.count() >= i + 1 - missed; }, 2000ms))
            ++missed;
        if (i + 1 == warmPresses)
            warm = holdingsOf(program);
        if ((i + 1) % std::max(presses / 10, 1L) == 0)
            pressSeries.push_back(holdingsOf(program));
    }
    const double pressSeconds = std::chrono::duration<double>(Clock::now() - pressesStarted).count();
    std::this_thread::sleep_for(std::chrono::seconds(1)); // late launches, reaping
    afterPresses = holdingsOf(program);
    const long launched = launches.count();
    std::printf("application button: %ld presses in %.1f s (%.2f ms each)\n", presses, pressSeconds,
                pressSeconds * 1000.0 / double(presses));
    check(launched == presses && missed == 0, "every press launched exactly once",
          std::to_string(launched) + " launches, " + std::to_string(missed) + " presses without one");
    checkHoldings("warm after 100 presses", warm, afterPresses, pressSeries);

    // Phase 2: the web button. Odd toggles show the page (a fresh load),
    // even ones close the window.
    FileCounter webLaunches(programLog, "🌐 Launching web URL: ");
    FileCounter loads(serverLog, "\"GET /page.html");
    Holdings warmWeb, afterToggles;
    std::vector<Holdings> toggleSeries;
    long stuck = 0;
    const auto togglesStarted = Clock::now();
    for (long i = 0; i < toggles && stuck < 20; ++i) {
        const bool shows = i % 2 == 0;
        keyboard.press('w');
        const bool handled = waitUntil([&] { return webLaunches.count() >= i + 1; }, 5000ms)
            && (!shows || waitUntil([&] { return loads.count() >= i / 2 + 1; }, 10000ms));
        stuck += handled ? 0 : 1;
        // Let the window settle, so that the next press finds the page shown or closed.
        std::this_thread::sleep_for(std::chrono::milliseconds(shows ? 150 : 50));
        if (i + 1 == warmToggles)
            warmWeb = holdingsOf(program);
        if ((i + 1) % std::max(toggles / 10, 1L) == 0)
            toggleSeries.push_back(holdingsOf(program));
    }
    const double toggleSeconds = std::chrono::duration<double>(Clock::now() - togglesStarted).count();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    afterToggles = holdingsOf(program);
    std::printf("web button: %ld toggles in %.1f s, %ld page loads\n", toggles, toggleSeconds, loads.count());
    check(stuck == 0 && loads.count() == (toggles + 1) / 2, "every toggle handled, a load per show",
          std::to_string(webLaunches.count()) + " logged, " + std::to_string(loads.count()) + " loads");
    checkHoldings("warm after 50 toggles", warmWeb, afterToggles, toggleSeries);

    stopProcess(program);
    stopProcess(server);
    stopProcess(display->xvfb);
    std::printf("total %.0f s; %s\n", std::chrono::duration<double>(Clock::now() - started).count(),
                failures ? "FAILED" : "all checks passed");
    if (!failures)
        fs::remove_all(work);
    else
        std::printf("logs kept in %s\n", work.c_str());
    return failures ? 1 : 0;
}
