#pragma once

#include <QTemporaryDir>

// Points the test process, and every program it starts, at a D-Bus address
// where no bus listens (a path in a temporary folder of its own), for the
// session and the system bus alike. Without it a test would reach the
// developer's buses (the tray icon would show on their panel), or, with no
// session bus named, libdbus and GIO would start one through X11 and write
// ~/.dbus/ into the test's home. A test that needs a bus starts a
// PrivateSessionBus, which takes the address over while it runs. Made first
// thing in a test's main, before Qt reads the environment.
class NoDesktopBus {
public:
    NoDesktopBus();
    NoDesktopBus(const NoDesktopBus &) = delete;
    NoDesktopBus &operator=(const NoDesktopBus &) = delete;

private:
    QTemporaryDir m_dir;
};
