#pragma once

// Starting and ending the programs a benchmark drives, and waiting on them
// with a deadline.

#include <chrono>
#include <functional>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <vector>

// Starts argv[0], looked up on PATH, with this process's environment plus
// extraEnv ("NAME=value" entries, each replacing an inherited NAME);
// redirects say where its output goes. -1 if it could not be started.
pid_t spawnProcess(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv,
                   const posix_spawn_file_actions_t &redirects);

// The same with standard output and error written to files, truncated first.
pid_t spawnToFiles(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv,
                   const std::string &outPath, const std::string &errPath);

// The same with its output thrown away.
pid_t spawnQuiet(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv);

// Starts target as a launcher does, with the least work: posix_spawn with its
// own session, a clean signal mask and dispositions, stdin from /dev/null.
// Does not wait; the caller reaps.
void launchLikeALauncher(const char *target);

// Asks the program to end (SIGTERM) and reaps it.
void stopProcess(pid_t pid);

// Polls condition until it holds (true) or timeout has passed (false).
bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout,
               std::chrono::microseconds pollEvery = std::chrono::microseconds(200));

struct PrivateDisplay {
    pid_t xvfb = -1;
    std::string name; // ":N"
};

// Starts Xvfb on a display number it picks itself, written to displayFile,
// its errors to errPath; waits up to 10 s for it and points DISPLAY at it.
// Says so on standard error if it did not come up.
std::optional<PrivateDisplay> startPrivateDisplay(const std::string &displayFile, const std::string &errPath);
