#pragma once

#include "GlobalShortcutService.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <memory>

class DescriptorWatchThread;
class QSocketNotifier;
class QTimer;
class X11Connection;
class X11Keyboard;

// Global shortcuts as passive key grabs on the root window. Presses are read
// from the shared X11Connection, watched by a socket notifier on the main
// thread, so no Qt platform plugin is involved. Answers every bind at once.
// Made before the program's QCoreApplication, it reads nothing until
// serveBeforeEventLoop() or serveFromEventLoop().
class X11GlobalShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    explicit X11GlobalShortcutService(std::shared_ptr<X11Connection> connection, QObject *parent = nullptr);
    ~X11GlobalShortcutService() override;

    // Whether shortcuts can be bound at all: the X connection works.
    bool isConnected() const;

    // Called once, on the main thread, when the X server goes away while the
    // program runs, or while its QApplication is being built (there is no
    // event loop to leave then). Without a handler the loss is only logged.
    void installConnectionLostHandler(std::function<void()> handler);

    void bind(const QList<ShortcutRequest> &requests) override;
    QString backendName() const override;
    // A trial grab, let go at once.
    ShortcutState probe(QKeyCombination trigger) override;

    // Grabs everything anew from the keyboard as it is now; rows whose state
    // changes hear of it. For when the keyboard may have changed unannounced
    // (the machine woke from suspend).
    void renewGrabs();

    void serveBeforeEventLoop(StartNow startNow) override;
    void serveFromEventLoop() override;

private:
    struct Grab {
        uint8_t keycode;
        uint16_t modifiers;
    };
    struct Binding {
        QString actionId;
        QKeyCombination trigger;
        uint16_t xModifiers = 0;
        QList<uint8_t> keycodes;
        QList<Grab> grabs; // as made, so they can be undone after a layout change
        ShortcutState state;
    };

    // What one read of the connection found.
    struct Events {
        QList<std::pair<QString, uint32_t>> presses; // action, press time
        bool mappingChanged = false;
        QList<uint32_t> rootProperties; // changed, each once
    };

    void grab(QList<Binding *> bindings);
    void ungrab(Binding &binding);
    void waitForServer() const;
    void watchFromEventLoop();
    Events takeEvents(bool fromSocket) const;
    bool serveOnWatchThread();
    void readEvents(bool fromSocket);
    void handle(const Events &events);
    bool serverAnswers() const;
    void reportLostConnection();
    void reportLossAtExit();
    QString describe(const Binding &binding) const;

    std::shared_ptr<X11Connection> m_connection;
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_handOver; // serves what the start-up left, after the loop's first timers
    // Before the event loop: the thread, what it offers presses to, and what
    // it leaves for the loop.
    std::unique_ptr<DescriptorWatchThread> m_watchThread;
    StartNow m_startNow;
    Events m_leftForTheLoop;
    std::function<void()> m_connectionLost;
    QList<Binding> m_bindings;
    bool m_lostReported = false;
};
