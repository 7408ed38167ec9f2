#pragma once

#include <QString>
#include <QtGlobal>

// Whether the program runs in a Wayland session, XWayland or not: there an X
// client sees keys only while one of its own windows has the focus.
inline bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariable("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
}
