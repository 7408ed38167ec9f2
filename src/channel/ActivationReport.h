#pragma once

#include <string_view>

// What a start that asked for an activation says and returns: 0 and nothing
// when the button was launched; else one line on standard error, and 2 when
// no button has that name or id (or the name is too long to be one), 1
// otherwise.
namespace ActivationReport {
enum class Outcome { launched, unknownButton, nameTooLong, noAnswer };

int report(const char *program, std::string_view target, Outcome outcome);
} // namespace ActivationReport
