#pragma once

#include <QString>

// The desktop service global shortcuts go through.
enum class HotkeyBackend { X11, KGlobalAccel, Sway, Portal, Gnome, None };

// As the Configuration window shows it.
inline QString displayName(HotkeyBackend backend)
{
    switch (backend) {
    case HotkeyBackend::X11: return QStringLiteral("X11");
    case HotkeyBackend::KGlobalAccel: return QStringLiteral("KDE");
    case HotkeyBackend::Sway: return QStringLiteral("sway");
    case HotkeyBackend::Portal: return QStringLiteral("portal");
    case HotkeyBackend::Gnome: return QStringLiteral("GNOME");
    case HotkeyBackend::None: break;
    }
    return QStringLiteral("none");
}
