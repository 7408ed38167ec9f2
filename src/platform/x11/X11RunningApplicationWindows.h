#pragma once

#include "platform/RunningApplicationWindows.h"

#include <QHash>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class X11Connection;
class X11WindowActivator;

// Other clients' windows through the window manager's lists on the root
// window (_NET_CLIENT_LIST, _NET_ACTIVE_WINDOW), read on the program's own
// connection. While the connection reads its events, the lists are read
// again only when the root window says they changed, so a lookup usually
// costs no round trip; a new window's class and process are asked for once.
// A window matches by _NET_WM_PID or by its WM_CLASS instance or class.
class X11RunningApplicationWindows final : public RunningApplicationWindows {
public:
    // activator: the program's; without one, one that knows of no input to
    // the program's own windows.
    explicit X11RunningApplicationWindows(std::shared_ptr<X11Connection> connection,
                                          std::shared_ptr<X11WindowActivator> activator = nullptr);
    ~X11RunningApplicationWindows() override;

    bool canFindWindows() override;
    std::optional<quintptr> find(const ApplicationIdentity &application) override;
    bool isFrontmost(quintptr window) override;
    // Through the activator, stamped with the press time.
    void activate(quintptr window, quint64 eventTime) override;

private:
    struct Atoms {
        uint32_t clientList = 0;
        uint32_t clientListStacking = 0;
        uint32_t activeWindow = 0;
        uint32_t wmPid = 0;
    };
    struct WindowFacts {
        QStringList classNames; // WM_CLASS: instance, class
        std::optional<qint64> processId;
    };

    const Atoms &atoms();
    // Reads the lists again when one of the root window's properties that
    // changed is one of them.
    void follow(const QList<uint32_t> &changedProperties);
    uint32_t activeWindow();
    void readLists();
    void learnAbout(const std::vector<uint32_t> &windows);

    std::shared_ptr<X11Connection> m_connection;
    std::shared_ptr<X11WindowActivator> m_activator;
    std::unique_ptr<Atoms> m_atoms;
    QHash<uint32_t, WindowFacts> m_known;
    // Copies of the window manager's lists, and what is known of each window.
    std::vector<uint32_t> m_windows;
    uint32_t m_active = 0;
    bool m_listsKnown = false;
};
