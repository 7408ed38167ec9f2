#include "channel/InstanceProtocol.h"

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}
} // namespace

std::optional<InstanceProtocol::Request> InstanceProtocol::activation(std::string_view nameOrId)
{
    if (nameOrId.size() > longestName)
        return std::nullopt;
    Request request;
    request << activatePrefix;
    constexpr char hex[] = "0123456789ABCDEF";
    for (const char c : nameOrId) {
        const auto byte = static_cast<unsigned char>(c);
        const char encoded[] = {'%', hex[byte >> 4], hex[byte & 15]};
        request << (isUnreserved(byte) ? std::string_view(&c, 1) : std::string_view(encoded, 3));
    }
    return request << "\n";
}

std::string_view InstanceProtocol::lineOf(Answer answer)
{
    switch (answer) {
    case Answer::launched:
        return "launched\n";
    case Answer::unknown:
        return "unknown\n";
    case Answer::refused:
        return "refused\n";
    case Answer::none:
        break;
    }
    return {};
}

InstanceProtocol::Answer InstanceProtocol::answerOf(std::string_view line)
{
    for (Answer answer : {Answer::launched, Answer::unknown, Answer::refused}) {
        if (line == lineOf(answer))
            return answer;
    }
    return Answer::none;
}

size_t InstanceProtocol::decodeName(std::string_view encoded, char *out)
{
    size_t length = 0;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const int high = i + 2 < encoded.size() && encoded[i] == '%' ? hexValue(encoded[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(encoded[i + 2]) : -1;
        if (low >= 0) {
            out[length++] = char(high * 16 + low);
            i += 2;
        } else {
            out[length++] = encoded[i];
        }
    }
    return length;
}
