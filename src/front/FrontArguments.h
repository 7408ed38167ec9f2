#pragma once

// What the `vantorel` command makes of its arguments: the few starts it
// answers by itself, and every other one, which goes to the program
// unchanged (the program's own parser, CommandLine, declares and checks all
// options, the toolkit's included).
struct FrontArguments {
    enum class Action { help, version, activate, program };

    // Help or version when asked for, else an activation, when every
    // argument is one of -h, --help, -?, --help-all, -v, --version,
    // --activate NAME or --activate=NAME; the program for anything else.
    static FrontArguments read(int argc, char *argv[]);

    Action action = Action::program;
    const char *target = nullptr; // activate: the button's name or id (the last one given)
};
