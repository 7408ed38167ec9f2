#include "channel/InstanceAddress.h"

#include "channel/PrivateDirectoryCheck.h"

#include <cstdlib>
#include <sys/utsname.h>
#include <unistd.h>

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Host names that mean this machine's own X server.
bool isThisMachine(std::string_view host)
{
    for (std::string_view local : {"", "unix", "localhost", "127.0.0.1", "::1", "[::1]"}) {
        if (host == local)
            return true;
    }
    utsname names {};
    return ::uname(&names) == 0 && host == names.nodename;
}

// ":<number>" for a display of this machine; the display as written when it
// is not one of the forms X libraries read.
InstanceAddress::Key xDisplayName(std::string_view display)
{
    InstanceAddress::Key key;
    constexpr std::string_view socketFolder = "/tmp/.X11-unix/X";
    if (display.starts_with(socketFolder)) {
        display.remove_prefix(socketFolder.size());
        return key << ":" << display;
    }
    const size_t colon = display.rfind(':');
    if (colon == std::string_view::npos) {
        key << display;
        return key;
    }
    std::string_view host(display.data(), colon);
    if (const size_t slash = host.find('/'); slash != std::string_view::npos)
        host.remove_prefix(slash + 1); // "unix/", "tcp/"
    std::string_view number = display;
    number.remove_prefix(colon + 1);
    size_t digits = 0;
    while (digits < number.size() && isDigit(number[digits]))
        ++digits;
    // A number, then nothing or ".<screen>".
    if (digits == 0 || (digits < number.size() && number[digits] != '.')) {
        key << display;
        return key;
    }
    number = std::string_view(number.data(), digits);
    if (!isThisMachine(host))
        key << host;
    return key << ":" << number;
}

std::string_view parentOf(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : std::string_view(path.data(), slash);
}
} // namespace

InstanceAddress::Directory InstanceAddress::directoryForThisSession()
{
    Directory directory;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && PrivateDirectoryCheck::of(runtime).isPrivate())
        return directory << runtime;
    const unsigned long uid = ::geteuid();
    Directory loginRuntime;
    loginRuntime << "/run/user/" << uid;
    if (PrivateDirectoryCheck::of(loginRuntime.c_str()).isPrivate())
        return loginRuntime;
    return directory << "/tmp/vantorel-" << uid;
}

InstanceAddress::Key InstanceAddress::displayKey(const char *display, const char *waylandDisplay,
                                                  std::string_view runtimeDirectory)
{
    Key name;
    if (display && display[0] != '\0') {
        name = xDisplayName(display);
    } else if (waylandDisplay && waylandDisplay[0] != '\0') {
        std::string_view wayland = waylandDisplay;
        if (wayland[0] == '/' && parentOf(wayland) == runtimeDirectory)
            wayland.remove_prefix(runtimeDirectory.size() + 1);
        name << wayland;
    }
    Key key;
    for (char c : name.view()) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '.' || c == '-'
            || c == '_';
        const char kept[] = {plain ? c : '_'};
        key << std::string_view(kept, 1);
    }
    return key;
}

InstanceAddress::Path InstanceAddress::forThisSession()
{
    const Directory directory = directoryForThisSession();
    const Key key = displayKey(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), directory.view());
    Path path;
    // A directory or key too long for their own buffers is too long for a
    // socket address as well.
    return path << directory.view() << "/vantorel-" << key.view();
}
