#include "X11GlobalShortcutService.h"

#include "Log.h"
#include "X11Connection.h"
#include "XkbKeyTable.h"
#include "posix/DescriptorWatchThread.h"
#include "X11Keyboard.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {
constexpr uint8_t badAccess = 10;

// The service whose connection-lost handler runs if the process exits while
// the server is gone; see installConnectionLostHandler(). A plain pointer:
// an exit handler can take no argument.
X11GlobalShortcutService *reportsLossAtExit = nullptr;
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
    m_connection->setEventsRead(true);
    if (QAbstractEventDispatcher::instance())
        watchFromEventLoop();
}

void X11GlobalShortcutService::watchFromEventLoop()
{
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection->get()),
                                                   QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { readEvents(true); });
    // Round trips (ours, or the window activator's on the same connection)
    // can pull events off the socket into xcb's queue, where the notifier
    // never sees them; pick those up before the event loop sleeps.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, m_notifier.get(),
                         [this] { readEvents(false); });
    }
}

X11GlobalShortcutService::~X11GlobalShortcutService()
{
    m_watchThread.reset();
    m_connection->setEventsRead(false);
    if (reportsLossAtExit == this)
        reportsLossAtExit = nullptr;
    if (m_connectionLost)
        Log::watchQtMessages({});
    if (!isConnected())
        return;
    for (Binding &binding : m_bindings)
        ungrab(binding);
}

bool X11GlobalShortcutService::isConnected() const
{
    return m_keyboard && m_connection->isOpen();
}

void X11GlobalShortcutService::installConnectionLostHandler(std::function<void()> handler)
{
    m_connectionLost = std::move(handler);
    // Qt's xcb platform plugin holds its own connection to the same server
    // and, when that breaks, logs this warning and ends the process with
    // exit(1) at once. It can notice before our socket notifier fires.
    Log::watchQtMessages([this](QtMsgType type, const QString &message) {
        const bool onMainThread = QCoreApplication::instance()
            && QThread::currentThread() == QCoreApplication::instance()->thread();
        if (!onMainThread)
            return;
        if (type == QtWarningMsg && message.startsWith(QLatin1String("The X11 connection broke")))
            reportLostConnection();
        // A QApplication built after the grabs that cannot set up its own
        // connection ends the process with abort(): when ours is gone too,
        // the server went away during the start-up.
        else if (type == QtFatalMsg && !serverAnswers())
            reportLostConnection();
    });
    // Xlib, which Qt's xcb plugin opens too, ends the process with exit(1)
    // when its own connection breaks, which can come before we hear of it
    // (while QApplication is being built, say): say it then.
    static const bool exitHookInstalled = std::atexit([] {
        if (reportsLossAtExit)
            reportsLossAtExit->reportLossAtExit();
    }) == 0;
    Q_UNUSED(exitHookInstalled);
    reportsLossAtExit = this;
}

void X11GlobalShortcutService::reportLossAtExit()
{
    if (m_lostReported || !m_keyboard || serverAnswers())
        return;
    m_lostReported = true;
    if (m_connectionLost)
        m_connectionLost();
}

// The program's QApplication takes longer to build than everything else in
// its start-up, and the grabs are made before it: a thread serves the presses
// of that time, so that the first one need not wait for it.
void X11GlobalShortcutService::serveBeforeEventLoop(StartNow startNow)
{
    if (!isConnected() || m_watchThread)
        return;
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_startNow = std::move(startNow);
    m_watchThread = std::make_unique<DescriptorWatchThread>(xcb_get_file_descriptor(m_connection->get()),
                                                            [this] { return serveOnWatchThread(); });
}

bool X11GlobalShortcutService::serveOnWatchThread()
{
    // Reads and starts what startNow takes; the rest, which may touch Qt's
    // objects of the main thread, waits for the event loop. Serving waits for
    // replies, which moves events that come meanwhile off the socket into
    // xcb's queue, where poll() would not see them: those are served too.
    for (Events events = takeEvents(true);
         !events.presses.isEmpty() || !events.rootProperties.isEmpty() || events.mappingChanged;
         events = takeEvents(false)) {
        if (!events.rootProperties.isEmpty())
            m_connection->rootPropertiesChanged(events.rootProperties);
        for (const auto &[actionId, time] : events.presses) {
            if (!m_startNow || !m_startNow(actionId, time))
                m_leftForTheLoop.presses.append({actionId, time});
        }
        m_leftForTheLoop.mappingChanged = m_leftForTheLoop.mappingChanged || events.mappingChanged;
    }
    return m_connection->isOpen();
}

void X11GlobalShortcutService::serveFromEventLoop()
{
    if (!m_keyboard)
        return; // never connected: every bind said so
    m_watchThread.reset();
    m_startNow = {};
    if (m_notifier)
        m_notifier->setEnabled(true);
    else
        watchFromEventLoop();
    // What the thread left, then what xcb has read off the socket already
    // (the notifier only wakes for what is still in the socket), from the
    // event loop after what the program has asked of it before: a window a
    // press brings comes out above those the program opens at start.
    // A zero timer, not a posted call: posted calls run before the timers
    // started earlier (the shell's), zero timers in the order they started.
    m_handOver = std::make_unique<QTimer>();
    m_handOver->setSingleShot(true);
    QObject::connect(m_handOver.get(), &QTimer::timeout, m_notifier.get(),
                     [this, left = std::exchange(m_leftForTheLoop, {})] {
                         handle(left);
                         readEvents(false);
                     });
    m_handOver->start(0);
}

QString X11GlobalShortcutService::backendName() const
{
    return QStringLiteral("X11");
}

void X11GlobalShortcutService::bind(const QList<ShortcutRequest> &requests)
{
    if (!isConnected()) {
        const ShortcutState none{ShortcutState::Kind::NoService, {},
                                 QStringLiteral("X11: global hotkeys unavailable: %1").arg(m_connection->error())};
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
        waitForServer();

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
        return {ShortcutState::Kind::NoService, {},
                QStringLiteral("X11: global hotkeys unavailable: %1").arg(m_connection->error())};
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
    waitForServer();
    return trial.state;
}

// A round trip: the server has carried out every request sent before it.
void X11GlobalShortcutService::waitForServer() const
{
    std::free(xcb_get_input_focus_reply(m_connection->get(), xcb_get_input_focus(m_connection->get()), nullptr));
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

void X11GlobalShortcutService::readEvents(bool fromSocket)
{
    if (m_watchThread)
        return; // its thread reads until serveFromEventLoop()
    if (!isConnected()) {
        reportLostConnection();
        return;
    }
    handle(takeEvents(fromSocket));
}

X11GlobalShortcutService::Events X11GlobalShortcutService::takeEvents(bool fromSocket) const
{
    Events events;
    xcb_connection_t *c = m_connection->get();
    while (xcb_generic_event_t *event = fromSocket ? xcb_poll_for_event(c) : xcb_poll_for_queued_event(c)) {
        switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS: {
            const auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
            const uint16_t modifiers = press->state & keyboardModifierBits & ~m_keyboard->lockMask();
            for (const Binding &binding : std::as_const(m_bindings)) {
                if (binding.xModifiers == modifiers && binding.keycodes.contains(press->detail)
                    && binding.state.kind == ShortcutState::Kind::Live) {
                    events.presses.append({binding.actionId, press->time});
                    break;
                }
            }
            break;
        }
        case XCB_MAPPING_NOTIFY: {
            const auto *mapping = reinterpret_cast<xcb_mapping_notify_event_t *>(event);
            events.mappingChanged = events.mappingChanged || mapping->request != XCB_MAPPING_POINTER;
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto *property = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (property->window == m_connection->root() && !events.rootProperties.contains(property->atom))
                events.rootProperties.append(property->atom);
            break;
        }
        default:
            break; // releases, and errors of requests nobody checks
        }
        std::free(event);
    }
    return events;
}

void X11GlobalShortcutService::handle(const Events &events)
{
    // A layout switch sends a burst of notifications: renew once for all.
    if (events.mappingChanged)
        renewGrabs();
    // Before the presses: one of them may look for a window that just opened.
    if (!events.rootProperties.isEmpty())
        m_connection->rootPropertiesChanged(events.rootProperties);
    if (!m_connection->isOpen())
        reportLostConnection();
    // Last: whoever hears a press may rebind.
    for (const auto &[actionId, time] : events.presses)
        Q_EMIT activated(actionId, time);
}

bool X11GlobalShortcutService::serverAnswers() const
{
    if (!isConnected())
        return false;
    xcb_connection_t *c = m_connection->get();
    xcb_get_input_focus_reply_t *reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const bool answered = reply != nullptr;
    std::free(reply);
    return answered && isConnected();
}

void X11GlobalShortcutService::reportLostConnection()
{
    if (m_lostReported || !m_keyboard)
        return;
    m_lostReported = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_connectionLost)
        m_connectionLost();
    else
        Log::line(QStringLiteral("X11: lost the connection to the X server; global hotkeys stopped"));
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
