#pragma once

#include "RunningApplicationWindows.h"

#include <QHash>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class X11Connection;

// Other clients' windows through the window manager's lists on the root
// window (_NET_CLIENT_LIST, _NET_ACTIVE_WINDOW), read on the program's own
// connection. The lists are read again when the root window says they
// changed (the shortcut service reads the connection's events), so a lookup
// usually costs no round trip; a new window's class and process are asked
// for once. A window matches by _NET_WM_PID or by its WM_CLASS instance or class.
class X11RunningApplicationWindows final : public RunningApplicationWindows {
public:
    // The X server time of the user's latest input to the program's own
    // windows (a click in the editor); 0 when unknown.
    using InputTime = std::function<quint32()>;

    explicit X11RunningApplicationWindows(std::shared_ptr<X11Connection> connection, InputTime latestWindowInput = {});
    ~X11RunningApplicationWindows() override;

    bool canFindWindows() override;
    std::optional<quintptr> find(const ApplicationIdentity &application) override;
    bool isFrontmost(quintptr window) override;
    // Asks the window manager to activate the window as a normal
    // application would (_NET_ACTIVE_WINDOW, stamped with the press time);
    // without a window manager, maps, raises and focuses it itself.
    void activate(quintptr window, quint64 eventTime) override;

private:
    struct Atoms {
        uint32_t clientList = 0;
        uint32_t clientListStacking = 0;
        uint32_t activeWindow = 0;
        uint32_t wmPid = 0;
        uint32_t supportingWmCheck = 0;
    };
    struct WindowFacts {
        QStringList classNames; // WM_CLASS: instance, class
        std::optional<qint64> processId;
    };

    const Atoms &atoms();
    uint32_t activeWindow();
    void readLists();
    void learnAbout(const std::vector<uint32_t> &windows);

    std::shared_ptr<X11Connection> m_connection;
    InputTime m_latestWindowInput;
    std::unique_ptr<Atoms> m_atoms;
    QHash<uint32_t, WindowFacts> m_known;
    // Copies of the window manager's lists, and what is known of each window.
    std::vector<uint32_t> m_windows;
    uint32_t m_active = 0;
    bool m_listsKnown = false;
};
