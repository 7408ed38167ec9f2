#include "SharedXvfb.h"

XvfbServer &sharedXvfb()
{
    static XvfbServer server;
    return server;
}
