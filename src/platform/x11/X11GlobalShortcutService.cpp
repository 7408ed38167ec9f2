#include "platform/x11/X11GlobalShortcutService.h"

#include "platform/WaylandSession.h"
#include "platform/XkbKeyTable.h"
#include "platform/x11/X11Keyboard.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {
constexpr uint8_t badAccess = 10;

// Shift, Lock, Control and Mod1..Mod5; higher bits are buttons or XKB groups.
constexpr uint16_t keyboardModifierBits = 0xff;

quint32 grabKey(uint8_t keycode, uint16_t modifiers)
{
    return quint32(keycode) << 16 | modifiers;
}
} // namespace

X11GlobalShortcutService::X11GlobalShortcutService(std::shared_ptr<X11Connection> connection, QObject *parent)
    : GlobalShortcutService(parent), m_connection(std::move(connection))
{
    // Without a connection every bind answers "no service", which says why.
    if (!m_connection->isOpen())
        return;
    m_keyboard = std::make_unique<X11Keyboard>(m_connection->get());
    const auto emitPress = [this](const X11Connection::KeyPress &press) {
        if (const QString actionId = actionFor(press); !actionId.isEmpty())
            Q_EMIT activated(actionId, press.time);
    };
    m_connection->addListeners(this, {.keyPress = emitPress, .keyboardMapping = [this] { renewGrabs(); }});
}

X11GlobalShortcutService::~X11GlobalShortcutService()
{
    m_connection->removeListeners(this);
    if (!isConnected())
        return;
    for (Binding &binding : m_bindings)
        ungrab(binding);
}

bool X11GlobalShortcutService::isConnected() const
{
    return m_keyboard && m_connection->isOpen();
}

// The program's QApplication takes longer to build than everything else in
// its start-up, and the grabs are made before it: the connection's thread
// serves the presses of that time, so that the first one need not wait for it.
void X11GlobalShortcutService::readBeforeEventLoop(TakeNow takeNow)
{
    if (!isConnected())
        return;
    m_connection->readBeforeEventLoop([this, takeNow = std::move(takeNow)](const X11Connection::KeyPress &press) {
        const QString actionId = actionFor(press);
        return actionId.isEmpty() || (takeNow && takeNow(actionId, press.time));
    });
}

void X11GlobalShortcutService::handOverToEventLoop()
{
    m_connection->readFromEventLoop();
}

QString X11GlobalShortcutService::unavailable() const
{
    return QStringLiteral("X11: global hotkeys unavailable: %1").arg(m_connection->error());
}

QString X11GlobalShortcutService::serviceProblem() const
{
    if (!isConnected())
        return unavailable();
    if (isWaylandSession())
        return QStringLiteral("X11: in a Wayland session an X11 program sees keys only while one of its own windows "
                              "has the focus.");
    return {};
}

void X11GlobalShortcutService::bind(const QList<ShortcutRequest> &requests)
{
    if (!isConnected()) {
        const ShortcutState none{ShortcutState::Kind::NoService, {}, unavailable()};
        m_bindings.clear();
        for (const ShortcutRequest &request : requests)
            Q_EMIT stateChanged(request.actionId, none);
        return;
    }

    // Live bindings whose trigger stays keep their grabs; everything else is
    // released first, since a combination may move from one action to another.
    QHash<QString, qsizetype> previous;
    previous.reserve(m_bindings.size());
    for (qsizetype i = 0; i < m_bindings.size(); ++i)
        previous.insert(m_bindings.at(i).actionId, i);
    QList<bool> kept(m_bindings.size(), false);
    QList<Binding> next;
    next.reserve(requests.size());
    for (const ShortcutRequest &request : requests) {
        const auto found = previous.constFind(request.actionId);
        if (found != previous.constEnd() && m_bindings.at(*found).trigger == request.trigger
            && m_bindings.at(*found).state.kind == ShortcutState::Kind::Live) {
            next.append(m_bindings.at(*found));
            kept[*found] = true;
        } else {
            Binding binding;
            binding.actionId = request.actionId;
            binding.trigger = request.trigger;
            next.append(binding);
        }
    }
    bool released = false;
    for (qsizetype i = 0; i < m_bindings.size(); ++i) {
        if (!kept.at(i)) {
            released = released || !m_bindings.at(i).grabs.isEmpty();
            ungrab(m_bindings[i]);
        }
    }
    m_bindings = std::move(next);

    QList<Binding *> fresh;
    for (Binding &binding : m_bindings) {
        if (binding.state.kind != ShortcutState::Kind::Live)
            fresh.append(&binding);
    }
    grab(fresh);
    // Keys let go are free once bind returns: the user may hand them to
    // another program at once.
    if (released)
        m_connection->roundTrip();

    QList<std::pair<QString, ShortcutState>> answers;
    answers.reserve(m_bindings.size());
    for (const Binding &binding : std::as_const(m_bindings))
        answers.append({binding.actionId, binding.state});
    for (const auto &[actionId, state] : std::as_const(answers))
        Q_EMIT stateChanged(actionId, state);
}

ShortcutState X11GlobalShortcutService::probe(QKeyCombination trigger)
{
    if (!isConnected())
        return {ShortcutState::Kind::NoService, {}, unavailable()};
    // Grabbing again what this program holds would succeed, and letting go
    // of the trial would then end the real grab.
    for (const Binding &binding : std::as_const(m_bindings)) {
        if (binding.trigger == trigger && binding.state.kind == ShortcutState::Kind::Live)
            return binding.state;
    }
    Binding trial;
    trial.trigger = trigger;
    grab({&trial});
    ungrab(trial);
    // Another program may reach for the combination at once.
    m_connection->roundTrip();
    return trial.state;
}

// All requests go out before the first answer is read: one round trip for
// the whole list.
void X11GlobalShortcutService::grab(QList<Binding *> bindings)
{
    xcb_connection_t *c = m_connection->get();
    QSet<quint32> claimed;
    for (const Binding &binding : std::as_const(m_bindings)) {
        for (const Grab &g : binding.grabs)
            claimed.insert(grabKey(g.keycode, g.modifiers));
    }

    QList<QList<std::pair<Grab, xcb_void_cookie_t>>> sent(bindings.size());
    for (qsizetype b = 0; b < bindings.size(); ++b) {
        Binding &binding = *bindings[b];
        binding.grabs.clear();
        binding.xModifiers = m_keyboard->modifiersFor(binding.trigger.keyboardModifiers());
        const std::optional<XkbKey> key = XkbKeyTable::find(binding.trigger.key());
        binding.keycodes = key ? m_keyboard->keycodesFor(*key) : QList<uint8_t>();
        if (binding.keycodes.isEmpty()) {
            binding.state = {ShortcutState::Kind::KeyUnavailable, {},
                             QStringLiteral("X11: %1 is not on this keyboard").arg(describe(binding))};
            continue;
        }
        // X lets a client grab a combination twice, and one ungrab would then
        // silently end both; keep one owner per combination instead.
        const bool clash = std::any_of(binding.keycodes.cbegin(), binding.keycodes.cend(), [&](uint8_t keycode) {
            return claimed.contains(grabKey(keycode, binding.xModifiers));
        });
        if (clash) {
            binding.keycodes.clear();
            binding.state = {ShortcutState::Kind::Failed, {},
                             QStringLiteral("X11: %1 is already a hotkey of this program").arg(describe(binding))};
            continue;
        }
        for (uint8_t keycode : std::as_const(binding.keycodes)) {
            claimed.insert(grabKey(keycode, binding.xModifiers));
            for (uint16_t locks : m_keyboard->lockCombinations()) {
                const Grab g{keycode, uint16_t(binding.xModifiers | locks)};
                sent[b].append({g, xcb_grab_key_checked(c, 0, m_connection->root(), g.modifiers, g.keycode,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
            }
        }
    }

    for (qsizetype b = 0; b < bindings.size(); ++b) {
        if (sent.at(b).isEmpty())
            continue;
        Binding &binding = *bindings[b];
        bool held = false;
        bool failed = false;
        for (const auto &[g, cookie] : std::as_const(sent.at(b))) {
            if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
                held = held || error->error_code == badAccess;
                failed = true;
                std::free(error);
            } else {
                binding.grabs.append(g);
            }
        }
        if (!failed) {
            binding.state = {ShortcutState::Kind::Live, describe(binding), {}};
            continue;
        }
        ungrab(binding);
        binding.keycodes.clear();
        binding.state = held ? ShortcutState{ShortcutState::Kind::TakenElsewhere, {},
                                             QStringLiteral("X11: %1 is held by another program").arg(describe(binding))}
                             : ShortcutState{ShortcutState::Kind::Failed, {},
                                             QStringLiteral("X11: the X server refused %1").arg(describe(binding))};
    }
}

void X11GlobalShortcutService::ungrab(Binding &binding)
{
    for (const Grab &g : std::as_const(binding.grabs))
        xcb_ungrab_key(m_connection->get(), g.keycode, m_connection->root(), g.modifiers);
    binding.grabs.clear();
    xcb_flush(m_connection->get());
}

QString X11GlobalShortcutService::actionFor(const X11Connection::KeyPress &press) const
{
    const uint16_t modifiers = press.state & keyboardModifierBits & ~m_keyboard->lockMask();
    for (const Binding &binding : m_bindings) {
        if (binding.xModifiers == modifiers && binding.keycodes.contains(press.keycode)
            && binding.state.kind == ShortcutState::Kind::Live)
            return binding.actionId;
    }
    return {};
}

void X11GlobalShortcutService::renewGrabs()
{
    if (!isConnected())
        return;
    // Forget the old keys too: a key another hotkey held before the change
    // may be this one's now.
    QList<ShortcutState> before;
    QList<Binding *> all;
    for (Binding &binding : m_bindings) {
        ungrab(binding);
        binding.keycodes.clear();
        before.append(binding.state);
        binding.state = {};
        all.append(&binding);
    }
    m_keyboard->reload();
    // One that fails now stays bound without grabs and is tried again at the
    // next change or bind.
    grab(all);
    QList<std::pair<QString, ShortcutState>> changed;
    for (qsizetype i = 0; i < m_bindings.size(); ++i) {
        if (!(m_bindings.at(i).state == before.at(i)))
            changed.append({m_bindings.at(i).actionId, m_bindings.at(i).state});
    }
    for (const auto &[actionId, state] : std::as_const(changed))
        Q_EMIT stateChanged(actionId, state);
}

QString X11GlobalShortcutService::describe(const Binding &binding) const
{
    QStringList parts;
    const Qt::KeyboardModifiers modifiers = binding.trigger.keyboardModifiers();
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("Super");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("Alt");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("Shift");
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("Ctrl");
    parts << XkbKeyTable::name(binding.trigger.key());
    return parts.join(QLatin1Char('+'));
}
