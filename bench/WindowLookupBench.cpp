// The window lookup a press makes before it launches: finding an
// application's window among 60 listed ones and telling whether it is in
// front, on a private Xvfb. "kept": as in the program, whose X connection
// reads its events, so the lists are read again only when they change;
// otherwise as a press right after such a change.
#include "XvfbServer.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11RunningApplicationWindows.h"

#include <QCoreApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

namespace {
constexpr int windowCount = 60;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    auto *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

// Lists windowCount client windows, "app0" to "app59", as a window manager would.
void listWindows(xcb_connection_t *c)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::vector<xcb_window_t> windows;
    for (int i = 0; i < windowCount; ++i) {
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        const QByteArray name = "app" + QByteArray::number(i);
        const QByteArray wmClass = name + '\0' + name.toUpper() + '\0';
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            uint32_t(wmClass.size()), wmClass.constData());
        const uint32_t pid = 10000 + i;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        windows.push_back(window);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32,
                        uint32_t(windows.size()), windows.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom(c, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1,
                        windows.data());
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void findAndTellFront(benchmark::State &state, const ApplicationIdentity &application)
{
    const bool listsKept = state.range(0) != 0;
    XvfbServer server;
    if (!server.isRunning()) {
        state.SkipWithError(server.error().toUtf8().constData());
        return;
    }
    int argc = 1;
    char name[] = "window_lookup_bench";
    char *argv[] = {name, nullptr};
    const QCoreApplication eventLoopOwner(argc, argv);
    auto connection = std::make_shared<X11Connection>();
    listWindows(connection->get());
    X11RunningApplicationWindows windows(connection);
    // Nothing changes the lists while it runs: no notification to read.
    if (listsKept)
        connection->readFromEventLoop();
    for (auto _ : state) {
        const std::optional<quintptr> window = windows.find(application);
        benchmark::DoNotOptimize(window && windows.isFrontmost(*window));
    }
}

void found(benchmark::State &state)
{
    findAndTellFront(state, {{}, {QStringLiteral("APP59")}});
}
BENCHMARK(found)->ArgName("kept")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void notRunning(benchmark::State &state)
{
    findAndTellFront(state, {{4242}, {QStringLiteral("firefox")}});
}
BENCHMARK(notRunning)->ArgName("kept")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
