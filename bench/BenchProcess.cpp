#include "BenchProcess.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

pid_t spawnProcess(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv,
                   const posix_spawn_file_actions_t &redirects)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const std::string &entry : extraEnv) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string &e) { return e.rfind(name, 0) == 0; });
        env.push_back(entry);
    }
    std::vector<char *> envp, args;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (auto &a : argvCopy)
        args.push_back(a.data());
    args.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &redirects, nullptr, args.data(), envp.data()) != 0)
        pid = -1;
    return pid;
}

pid_t spawnToFiles(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv,
                   const std::string &outPath, const std::string &errPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = spawnProcess(argv, extraEnv, actions);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

pid_t spawnQuiet(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv)
{
    return spawnToFiles(argv, extraEnv, "/dev/null", "/dev/null");
}

void launchLikeALauncher(const char *target)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    char *argv[] = {const_cast<char *>(target), nullptr};
    pid_t pid;
    posix_spawn(&pid, target, &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
}

void stopProcess(pid_t pid)
{
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout,
               std::chrono::microseconds pollEvery)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(pollEvery);
    }
    return true;
}

std::optional<PrivateDisplay> startPrivateDisplay(const std::string &displayFile, const std::string &errPath)
{
    // Through a shell so that the number -displayfd writes lands in a file.
    PrivateDisplay display;
    display.xvfb = spawnToFiles({"sh", "-c", "exec Xvfb -displayfd 1 -nolisten tcp -noreset"}, {}, displayFile,
                                errPath);
    std::string number;
    waitUntil([&] {
        std::ifstream in(displayFile);
        return std::getline(in, number) && !number.empty();
    }, std::chrono::seconds(10));
    if (display.xvfb <= 0 || number.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        stopProcess(display.xvfb);
        return std::nullopt;
    }
    display.name = ":" + number;
    setenv("DISPLAY", display.name.c_str(), 1);
    return display;
}
