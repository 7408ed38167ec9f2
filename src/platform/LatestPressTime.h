#pragma once

#include <QtGlobal>

// The window-system time of the user's latest hotkey press. The hotkey
// backend writes it; the launcher and the window activator pass it on so
// that window managers with focus-stealing prevention let the result of the
// press come to the front. 0 means there was no press yet.
class LatestPressTime {
public:
    quint32 get() const { return m_time; }
    void record(quint32 time) { m_time = time; }

private:
    quint32 m_time = 0;
};
