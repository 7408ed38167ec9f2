#pragma once

#include "platform/GlobalShortcutService.h"
#include "platform/StartupPressSource.h"
#include "platform/x11/X11Connection.h"

#include <QList>

#include <cstdint>
#include <memory>

class X11Keyboard;

// Global shortcuts as passive key grabs on the root window: a table of grabs
// that turns the presses the shared X11Connection reads into action ids, so
// no Qt platform plugin is involved. Answers every bind at once. Reads the
// presses of the start-up on the connection's thread.
class X11GlobalShortcutService final : public GlobalShortcutService, public StartupPressSource {
    Q_OBJECT

public:
    explicit X11GlobalShortcutService(std::shared_ptr<X11Connection> connection, QObject *parent = nullptr);
    ~X11GlobalShortcutService() override;

    void bind(const QList<ShortcutRequest> &requests) override;
    HotkeyBackend backend() const override { return HotkeyBackend::X11; }
    // Without the X connection; and in a Wayland session, where an X client
    // sees keys only while one of its own windows has the focus.
    QString serviceProblem() const override;
    // A trial grab, let go at once.
    ShortcutState probe(QKeyCombination trigger) override;

    // Grabs everything anew from the keyboard as it is now; rows whose state
    // changes hear of it. For when the keyboard may have changed unannounced
    // (the machine woke from suspend).
    void renewGrabs();

    void readBeforeEventLoop(TakeNow takeNow) override;
    void handOverToEventLoop() override;

private:
    // Whether shortcuts can be bound at all: the X connection works.
    bool isConnected() const;
    QString unavailable() const;

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
    // The action of the live binding the press is on; empty for none.
    QString actionFor(const X11Connection::KeyPress &press) const;
    QString describe(const Binding &binding) const;

    std::shared_ptr<X11Connection> m_connection;
    std::unique_ptr<X11Keyboard> m_keyboard;
    QList<Binding> m_bindings;
};
