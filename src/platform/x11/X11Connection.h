#pragma once

#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

struct xcb_connection_t;
class DescriptorWatchThread;
class QAbstractNativeEventFilter;
class QSocketNotifier;
class QTimer;

// The program's own connection to the X server named by DISPLAY, separate
// from whatever the Qt platform plugin uses, so that the X11 backends work
// under any plugin (offscreen included). Shared by the X11 backends, whose
// listeners it tells what its events say, once told to read them; it also
// notices when the display goes away.
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

    // The atoms of the names, in one round trip; XCB_ATOM_NONE for one the
    // server did not answer.
    std::vector<uint32_t> internAtoms(std::initializer_list<const char *> names) const;
    // Waits until the server has carried out every request sent before;
    // false when it did not answer.
    bool roundTrip() const;

    struct KeyPress {
        uint8_t keycode;
        uint16_t state; // modifier and button bits
        uint32_t time;
    };
    // Each listener is told on the thread that reads the events: the main
    // thread, or the start-up thread (see readBeforeEventLoop()).
    struct Listeners {
        std::function<void(const KeyPress &press)> keyPress = {}; // of a grabbed key
        std::function<void()> keyboardMapping = {};               // layout or modifier map: once for a burst
        std::function<void(const QList<uint32_t> &atoms)> rootProperties = {}; // changed, each once
    };
    // Neither from inside a listener. Removing also stops the start-up
    // thread, which may be running the owner's code.
    void addListeners(const void *owner, Listeners listeners);
    void removeListeners(const void *owner);

    // Reads the events on the main thread from here on: a socket notifier,
    // before the event loop sleeps what round trips left in xcb's queue, and
    // before Qt handles a key or focus event of its own (one of our presses
    // comes with those when a window of the program has the focus).
    // What the start-up thread left is told after what waits in the event
    // loop already (a zero timer started before this call runs first).
    void readFromEventLoop();
    // Until readFromEventLoop(), for the time the main thread is busy before
    // its event loop exists (building the QApplication): a thread reads the
    // events, offers each key press to takeNow there and tells the root
    // properties there too (the main thread does not touch the listeners'
    // objects meanwhile); the presses takeNow declines and the keyboard
    // mapping changes wait for the event loop.
    using TakeNow = std::function<bool(const KeyPress &press)>;
    void readBeforeEventLoop(TakeNow takeNow);
    // Whether someone reads the events: copies of what they announce can be trusted.
    bool eventsRead() const { return m_eventsRead; }

    // Runs once, on the main thread, when the X server goes away while the
    // program runs, or while its QApplication is being built (there is no
    // event loop to leave then). Without a handler the loss is only logged.
    void setDisplayLostHandler(std::function<void()> handler);

private:
    // What one read found.
    struct Events {
        QList<KeyPress> presses = {};
        bool mappingChanged = false;
        QList<uint32_t> rootProperties = {};
    };

    Events takeEvents(bool fromSocket) const;
    bool readOnWatchThread();
    void stopWatchThread();
    void readEvents(bool fromSocket);
    void tell(const Events &events) const;
    bool serverAnswers() const;
    void reportDisplayLost();
    void reportLossAtExit();

    xcb_connection_t *m_connection = nullptr;
    uint32_t m_root = 0;
    QString m_error;
    std::vector<std::pair<const void *, Listeners>> m_listeners;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QAbstractNativeEventFilter> m_beforeQtsKeys;
    bool m_reading = false;
    std::unique_ptr<QTimer> m_handOver;
    // Before the event loop: the thread, what it offers presses to, and what
    // it leaves for the loop.
    std::unique_ptr<DescriptorWatchThread> m_watchThread;
    TakeNow m_takeNow;
    Events m_leftForTheLoop;
    std::atomic<bool> m_eventsRead = false; // asked on the start-up thread too
    std::function<void()> m_displayLost;
    bool m_lossReported = false;
};
