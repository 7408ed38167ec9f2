// The `vantorel` command. It answers --activate, --help and --version by
// itself and hands every other start, arguments unchanged, to the program,
// a shared library installed next to the web window plugin.
//
// Written against the C library alone, without Qt: desktops without a
// global shortcut service run `vantorel --activate NAME` at every press of
// a shortcut bound in their own settings, and loading Qt's libraries,
// building the application object and connecting to the display took about
// 20 ms of each press (and one of the display's client slots) before a byte
// reached the running program. Here the request goes out within about a
// millisecond of the exec.

#include "app/InstallLayout.h"
#include "channel/ActivationReport.h"
#include "channel/InstanceAddress.h"
#include "channel/InstanceClient.h"
#include "channel/InstanceProtocol.h"
#include "channel/ProgramEntry.h"
#include "front/FrontArguments.h"
#include "front/ProgramTexts.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string_view>
#include <unistd.h>

namespace {
constexpr char commandName[] = "vantorel";

enum class Asked { answered, startTheProgram };

// Has the running instance launch the button; when none runs, the program
// starts and launches it (as every start did before this command answered
// activations by itself).
Asked askForActivation(std::string_view target, int &status)
{
    using Outcome = ActivationReport::Outcome;
    const std::optional<InstanceProtocol::Request> request = InstanceProtocol::activation(target);
    if (!request) {
        status = ActivationReport::report(commandName, target, Outcome::nameTooLong);
        return Asked::answered;
    }
    const InstanceAddress::Path socket = InstanceAddress::forThisSession();
    if (socket.overflowed())
        return Asked::startTheProgram; // it says why it cannot run
    const InstanceClient::Outcome asked = InstanceClient::ask(socket.c_str(), request->view(), true);
    switch (asked.reach) {
    case InstanceClient::Reach::nobodyListens:
    case InstanceClient::Reach::unreachable:
        return Asked::startTheProgram;
    case InstanceClient::Reach::noAnswer:
    case InstanceClient::Reach::answered:
        break;
    }
    const Outcome outcome = asked.answer == InstanceProtocol::Answer::launched ? Outcome::launched
        : asked.answer == InstanceProtocol::Answer::unknown                   ? Outcome::unknownButton
                                                                              : Outcome::noAnswer;
    status = ActivationReport::report(commandName, target, outcome);
    return Asked::answered;
}

// <this command's folder>/<the plugin folder>/vantorel.so
bool programLibraryPath(char (&path)[PATH_MAX])
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return false;
    self[length] = '\0';
    if (char *slash = std::strrchr(self, '/'))
        *slash = '\0';
    const int written = std::snprintf(path, sizeof path, "%s/%s/%s", self, InstallLayout::pluginDirFromBinary,
                                      InstallLayout::programLibrary);
    return written > 0 && size_t(written) < sizeof path;
}

int runProgram(int argc, char *argv[])
{
    char path[PATH_MAX];
    if (!programLibraryPath(path)) {
        std::fprintf(stderr, "%s: cannot find its own executable\n", commandName);
        return 1;
    }
    // Lazy, as the loader binds an executable's own calls: binding all of
    // the program's Qt calls up front cost a millisecond of every start.
    void *program = ::dlopen(path, RTLD_LAZY | RTLD_LOCAL);
    auto *entry = program ? reinterpret_cast<ProgramEntry::Function *>(::dlsym(program, ProgramEntry::symbol))
                          : nullptr;
    if (!entry) {
        std::fprintf(stderr, "%s: cannot load the program: %s\n", commandName, ::dlerror());
        return 1;
    }
    // Never unloaded: its objects live until the process ends.
    return entry(argc, argv);
}
} // namespace

int main(int argc, char *argv[])
{
    const FrontArguments arguments = FrontArguments::read(argc, argv);
    switch (arguments.action) {
    case FrontArguments::Action::help:
        std::fputs(ProgramTexts::help, stdout);
        return 0;
    case FrontArguments::Action::version:
        std::fputs(ProgramTexts::version, stdout);
        return 0;
    case FrontArguments::Action::activate:
        if (int status = 0; askForActivation(arguments.target, status) == Asked::answered)
            return status;
        break;
    case FrontArguments::Action::program:
        break;
    }
    return runProgram(argc, argv);
}
