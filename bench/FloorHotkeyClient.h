#pragma once

#include <string>
#include <sys/types.h>

// The least a program can do to launch a target on a global hotkey: a
// separate process with its own X connection that grabs Super+Alt+letter on
// the root window and, on each press, starts target with posix_spawn (the
// flags a launcher needs: own session, clean signal state, stdin from
// /dev/null) and nothing else. Its press-to-launch time is the floor any
// hotkey program on this X server can reach. Returns the process, -1 if
// fork failed; end it with stopProcess().
pid_t startFloorHotkeyClient(const std::string &target, char letter);
