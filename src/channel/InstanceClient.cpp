#include "channel/InstanceClient.h"

#include "channel/FixedText.h"
#include "channel/PrivateDirectoryCheck.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
using InstanceClient::Outcome;
using InstanceClient::Reach;

// What a failed connect() says about the instance.
Outcome connectFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ECONNREFUSED:
        return {Reach::nobodyListens};
    case EAGAIN: // its queue stayed full for the whole timeout
    case EINTR:
    case ETIMEDOUT:
        return {Reach::noAnswer};
    default:
        return {Reach::unreachable, InstanceProtocol::Answer::none, error};
    }
}

bool sendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data.remove_prefix(size_t(sent));
    }
    return true;
}

// Only our own socket in a directory only we can enter is asked: nobody
// else hears the request or answers it.
std::optional<Outcome> refuseForeign(const char *socketPath)
{
    FixedText<4096> directory;
    directory << socketPath;
    const char *slash = std::strrchr(directory.c_str(), '/');
    FixedText<4096> parent;
    parent << std::string_view(directory.c_str(), slash ? size_t(slash - directory.c_str()) : 0);
    const PrivateDirectoryCheck check = PrivateDirectoryCheck::of(parent.size() ? parent.c_str() : "/");
    if (check.verdict == PrivateDirectoryCheck::Verdict::cannotRead && check.error == ENOENT)
        return Outcome{Reach::nobodyListens};
    if (!check.isPrivate())
        return Outcome{Reach::unreachable, InstanceProtocol::Answer::none, EPERM};
    struct stat status {};
    if (::lstat(socketPath, &status) != 0)
        return Outcome{errno == ENOENT ? Reach::nobodyListens : Reach::unreachable, InstanceProtocol::Answer::none,
                       errno};
    if (status.st_uid != ::geteuid() || !S_ISSOCK(status.st_mode))
        return Outcome{Reach::unreachable, InstanceProtocol::Answer::none, EPERM};
    return std::nullopt;
}

InstanceProtocol::Answer receiveAnswer(int fd)
{
    char line[32];
    size_t length = 0;
    while (length < sizeof line) {
        const ssize_t n = ::recv(fd, line + length, sizeof line - length, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        length += size_t(n);
        if (std::memchr(line, '\n', length))
            break;
    }
    return InstanceProtocol::answerOf(std::string_view(line, length));
}
} // namespace

Outcome InstanceClient::ask(const char *socketPath, std::string_view request, bool expectAnswer, int timeout)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t length = std::strlen(socketPath);
    if (length >= sizeof address.sun_path)
        return {Reach::unreachable, InstanceProtocol::Answer::none, ENAMETOOLONG};
    std::memcpy(address.sun_path, socketPath, length);
    if (const std::optional<Outcome> refused = refuseForeign(socketPath))
        return *refused;

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {Reach::unreachable, InstanceProtocol::Answer::none, errno};
    // A blocking socket: connect() waits while the instance's queue is full,
    // as long as the send timeout allows.
    const timeval limit{timeout / 1000, (timeout % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

    Outcome outcome{Reach::answered};
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        outcome = connectFailure(errno);
    else if (!sendAll(fd, request))
        outcome = {Reach::noAnswer};
    else if (expectAnswer && (outcome.answer = receiveAnswer(fd)) == InstanceProtocol::Answer::none)
        outcome.reach = Reach::noAnswer;
    ::close(fd);
    return outcome;
}
