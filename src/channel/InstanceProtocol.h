#pragma once

#include "channel/FixedText.h"

#include <cstddef>
#include <optional>
#include <string_view>

// What a start says to the running instance and what it hears back: one
// line each way. Requests are "show" (the editor) and "activate <name or id,
// percent-encoded>"; an activation is answered "launched", "unknown" (no
// such button) or "refused" (a request the instance does not take, too long
// for instance), a show request is not answered.
namespace InstanceProtocol {
// A button's name or id, in bytes of UTF-8, as an activation can carry it.
inline constexpr size_t longestName = 1024;
inline constexpr std::string_view activatePrefix = "activate ";
inline constexpr std::string_view showRequest = "show\n";
// Every byte of the longest name percent-encoded, with the prefix and the end of line.
inline constexpr size_t longestRequest = activatePrefix.size() + 3 * longestName + 1;

using Request = FixedText<longestRequest + 1>;
// The request for this name or id; nothing when it is longer than longestName.
std::optional<Request> activation(std::string_view nameOrId);

enum class Answer { launched, unknown, refused, none };
std::string_view lineOf(Answer answer); // with its end of line
// The answer a whole line (end of line included) says; none for anything else.
Answer answerOf(std::string_view line);

// The name an activation request's argument (without the end of line)
// carries, written to out (at least encoded.size() bytes); its length.
size_t decodeName(std::string_view encoded, char *out);
} // namespace InstanceProtocol
