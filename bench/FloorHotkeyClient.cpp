#include "FloorHotkeyClient.h"

#include "BenchProcess.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
[[noreturn]] void run(const char *target, char letter)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        _exit(1);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    // A Latin-1 letter's keysym is its character code.
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, xcb_keysym_t(static_cast<unsigned char>(letter)));
    if (!codes)
        _exit(1);
    const xcb_keycode_t key = codes[0];
    std::free(codes);
    xcb_key_symbols_free(symbols);
    xcb_generic_error_t *error = xcb_request_check(
        connection, xcb_grab_key_checked(connection, 0, root, XCB_MOD_MASK_4 | XCB_MOD_MASK_1, key,
                                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    if (error)
        _exit(1);

    while (xcb_generic_event_t *event = xcb_wait_for_event(connection)) {
        if ((event->response_type & 0x7f) == XCB_KEY_PRESS)
            launchLikeALauncher(target);
        std::free(event);
        // Reaping comes after the launch, out of the press's way.
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
    _exit(0);
}
} // namespace

pid_t startFloorHotkeyClient(const std::string &target, char letter)
{
    const pid_t pid = fork();
    if (pid == 0) {
        // The parent's X connection stays the parent's: this process never
        // touches it, and opens its own.
        signal(SIGTERM, SIG_DFL);
        run(target.c_str(), letter);
    }
    return pid;
}
