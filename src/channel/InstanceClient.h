#pragma once

#include "channel/InstanceProtocol.h"

#include <string_view>

// A later start asking the running instance: checks that the socket is its
// own, in a directory only this user can enter, connects to it, sends
// one request and, for an activation, waits for the answer. Only a refused
// connection (or no socket at all) means that no instance runs: a busy one
// is waited for, and a request that could not be delivered is reported, never
// taken as a sign that the socket is stale.
namespace InstanceClient {
enum class Reach {
    answered,      // the instance took the request, and answered it when it answers
    nobodyListens, // no socket there, or nothing accepts connections on it
    unreachable,   // the socket cannot be used (error says why): another user's, a path too long
    noAnswer,      // something accepted, then did not take the request or answer in time
};
struct Outcome {
    Reach reach = Reach::noAnswer;
    InstanceProtocol::Answer answer = InstanceProtocol::Answer::none;
    int error = 0; // errno, for unreachable
};

// Long enough for a busy instance to come to a request queued behind many
// others; a launch is answered right after it started.
inline constexpr int timeoutMs = 30000;

Outcome ask(const char *socketPath, std::string_view request, bool expectAnswer, int timeout = timeoutMs);
} // namespace InstanceClient
