#include "front/FrontArguments.h"

#include <string_view>

FrontArguments FrontArguments::read(int argc, char *argv[])
{
    constexpr std::string_view activate = "--activate", activateIs = "--activate=";
    bool help = false, version = false;
    FrontArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all")
            help = true;
        else if (argument == "-v" || argument == "--version")
            version = true;
        else if (argument == activate && i + 1 < argc)
            arguments.target = argv[++i]; // the next argument, whatever it looks like
        else if (argument.starts_with(activateIs))
            arguments.target = argv[i] + activateIs.size();
        else
            return {};
    }
    arguments.action = help ? Action::help
        : version            ? Action::version
        : arguments.target   ? Action::activate
                             : Action::program;
    return arguments;
}
