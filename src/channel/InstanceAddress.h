#pragma once

#include "channel/FixedText.h"

#include <string_view>
#include <sys/un.h>

// Where the running instance of this user's session listens: a socket named
// after the display, in a directory only this user can enter. Every way of
// writing one display gives one name, and a session finds the same directory
// whether or not XDG_RUNTIME_DIR is set in the environment of the start.
namespace InstanceAddress {
using Directory = FixedText<4096>;
using Key = FixedText<256>;
using Path = FixedText<sizeof(sockaddr_un::sun_path)>;

// $XDG_RUNTIME_DIR when it is set, absolute and private; else
// /run/user/<uid>, what a login session sets it to, when that is private;
// else /tmp/vantorel-<uid> (the program creates it).
Directory directoryForThisSession();

// The display's part of the socket's name. DISPLAY when set: ":5", ":5.0",
// "unix:5", "localhost:5" and "/tmp/.X11-unix/X5" are all "_5" (the screen
// and this machine's own host names dropped); else WAYLAND_DISPLAY, its
// name within the runtime directory ("wayland-1" and
// "<runtime directory>/wayland-1" alike). Characters other than letters,
// digits, '.', '-' and '_' become '_'.
Key displayKey(const char *display, const char *waylandDisplay, std::string_view runtimeDirectory);

// <directory>/vantorel-<display key>; overflowed() when the path is too long
// for a socket address.
Path forThisSession();
} // namespace InstanceAddress
