#include "channel/ActivationReport.h"

#include "channel/InstanceProtocol.h"

#include <cstdio>

int ActivationReport::report(const char *program, std::string_view target, Outcome outcome)
{
    switch (outcome) {
    case Outcome::launched:
        return 0;
    case Outcome::unknownButton:
        std::fprintf(stderr, "%s: no button is named \"%.*s\" or has that id\n", program, int(target.size()),
                     target.data());
        return 2;
    case Outcome::nameTooLong:
        std::fprintf(stderr, "%s: a button's name or id has at most %zu bytes, not %zu\n", program,
                     InstanceProtocol::longestName, target.size());
        return 2;
    case Outcome::noAnswer:
        break;
    }
    std::fprintf(stderr, "%s: the running program did not answer\n", program);
    return 1;
}
