#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

struct xcb_connection_t;

// The program's own connection to the X server named by DISPLAY, separate
// from whatever the Qt platform plugin uses, so that the X11 backends work
// under any plugin (offscreen included). Shared by the X11 backends.
class X11Connection {
public:
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection &) = delete;
    X11Connection &operator=(const X11Connection &) = delete;

    // False when there is no display or the server has gone away.
    bool isOpen() const;
    xcb_connection_t *get() const { return m_connection; }
    uint32_t root() const { return m_root; }

    // Why the connection could not be opened.
    QString error() const { return m_error; }

    // Root window properties that changed, told by whoever reads this
    // connection's events to whoever keeps copies of them. Copies may be
    // trusted only while someone reads the events.
    using RootPropertyListener = std::function<void(const QList<uint32_t> &atoms)>;
    void addRootPropertyListener(const void *owner, RootPropertyListener listener)
    {
        m_listeners.push_back({owner, std::move(listener)});
    }
    void removeRootPropertyListeners(const void *owner)
    {
        std::erase_if(m_listeners, [owner](const auto &listener) { return listener.first == owner; });
    }
    void rootPropertiesChanged(const QList<uint32_t> &atoms) const;
    void setEventsRead(bool read) { m_eventsRead = read; }
    bool eventsRead() const { return m_eventsRead; }

private:
    xcb_connection_t *m_connection = nullptr;
    uint32_t m_root = 0;
    QString m_error;
    std::vector<std::pair<const void *, RootPropertyListener>> m_listeners;
    bool m_eventsRead = false;
};
