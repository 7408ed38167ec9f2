#pragma once

#include "GlobalShortcutService.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;
class X11Connection;
class X11Keyboard;

// Global shortcuts as passive key grabs on the root window. Presses are read
// from the shared X11Connection, watched by a socket notifier on the main
// thread, so no Qt platform plugin is involved. Answers every bind at once.
class X11GlobalShortcutService final : public GlobalShortcutService {
    Q_OBJECT

public:
    explicit X11GlobalShortcutService(std::shared_ptr<X11Connection> connection, QObject *parent = nullptr);
    ~X11GlobalShortcutService() override;

    // Whether shortcuts can be bound at all: the X connection works.
    bool isConnected() const;

    // Called once, on the main thread, when the X server goes away while the
    // program runs. Without a handler the loss is only logged.
    void installConnectionLostHandler(std::function<void()> handler);

    void bind(const QList<ShortcutRequest> &requests) override;
    QString backendName() const override;
    // A trial grab, let go at once.
    ShortcutState probe(QKeyCombination trigger) override;

    // Grabs everything anew from the keyboard as it is now; rows whose state
    // changes hear of it. For when the keyboard may have changed unannounced
    // (the machine woke from suspend).
    void renewGrabs();

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

    void grab(QList<Binding *> bindings);
    void ungrab(Binding &binding);
    void readEvents(bool fromSocket);
    void reportLostConnection();
    QString describe(const Binding &binding) const;

    std::shared_ptr<X11Connection> m_connection;
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_connectionLost;
    QList<Binding> m_bindings;
    bool m_lostReported = false;
};
