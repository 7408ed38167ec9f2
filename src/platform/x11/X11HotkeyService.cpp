#include "X11HotkeyService.h"

#include "LatestPressTime.h"
#include "Log.h"
#include "X11Connection.h"
#include "X11Keyboard.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {
constexpr uint8_t badAccess = 10;
// Shift, Lock, Control and Mod1..Mod5; higher bits are buttons or XKB groups.
constexpr uint16_t keyboardModifierBits = 0xff;
} // namespace

X11HotkeyService::X11HotkeyService(std::shared_ptr<X11Connection> connection,
                                   std::shared_ptr<LatestPressTime> latestPress)
    : m_connection(std::move(connection)), m_latestPress(std::move(latestPress))
{
    if (!m_connection->isOpen()) {
        Log::line(QStringLiteral("X11: global hotkeys unavailable: %1").arg(m_connection->error()));
        return;
    }
    m_keyboard = std::make_unique<X11Keyboard>(m_connection->get());
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

X11HotkeyService::~X11HotkeyService()
{
    if (m_connectionLost)
        Log::watchQtMessages({});
    if (!isConnected())
        return;
    for (Registration &registration : m_registrations)
        ungrab(registration);
}

bool X11HotkeyService::isConnected() const
{
    return m_keyboard && m_connection->isOpen();
}

void X11HotkeyService::installConnectionLostHandler(std::function<void()> handler)
{
    m_connectionLost = std::move(handler);
    // Qt's xcb platform plugin holds its own connection to the same server
    // and, when that breaks, logs this warning and ends the process with
    // exit(1) at once. It can notice before our socket notifier fires.
    Log::watchQtMessages([this](QtMsgType type, const QString &message) {
        const bool onMainThread = QCoreApplication::instance()
            && QThread::currentThread() == QCoreApplication::instance()->thread();
        if (onMainThread && type == QtWarningMsg && message.startsWith(QLatin1String("The X11 connection broke")))
            reportLostConnection();
    });
}

void X11HotkeyService::installPressHandler(PressHandler handler)
{
    m_handler = std::move(handler);
}

std::optional<HotkeyHandle> X11HotkeyService::registerHotkey(quint32 keyCode, quint32 modifierMask,
                                                             HotkeyIdentity identity)
{
    if (!isConnected())
        return std::nullopt;
    if (!X11KeyTable::find(keyCode)) {
        Log::line(QStringLiteral("X11: key code %1 has no X11 key").arg(keyCode));
        return std::nullopt;
    }
    Registration registration;
    registration.handle = m_nextHandle;
    registration.keyCode = keyCode;
    registration.modifierMask = modifierMask;
    registration.identity = identity;
    if (!grab(registration))
        return std::nullopt;
    ++m_nextHandle;
    m_registrations.append(registration);
    return registration.handle;
}

void X11HotkeyService::unregisterHotkey(HotkeyHandle handle)
{
    for (qsizetype i = 0; i < m_registrations.size(); ++i) {
        if (m_registrations.at(i).handle == handle) {
            if (isConnected())
                ungrab(m_registrations[i]);
            m_registrations.removeAt(i);
            return;
        }
    }
}

HotkeyIdentity X11HotkeyService::identityOf(const HotkeyPress &press) const
{
    for (const Registration &registration : m_registrations) {
        if (registration.handle == press.token)
            return registration.identity;
    }
    return {};
}

void X11HotkeyService::setActivationPolicyAccessory()
{
}

bool X11HotkeyService::grab(Registration &registration)
{
    const X11Key key = *X11KeyTable::find(registration.keyCode);
    registration.xModifiers = m_keyboard->modifiersFor(registration.modifierMask);
    registration.keycodes = m_keyboard->keycodesFor(key);
    registration.grabs.clear();
    if (clashesWithOwn(registration)) {
        Log::line(QStringLiteral("X11: %1 is already a hotkey of this program").arg(describe(registration)));
        return false;
    }

    xcb_connection_t *c = m_connection->get();
    QList<std::pair<Grab, xcb_void_cookie_t>> requests;
    for (uint8_t keycode : std::as_const(registration.keycodes)) {
        for (uint16_t locks : m_keyboard->lockCombinations()) {
            const Grab g{keycode, uint16_t(registration.xModifiers | locks)};
            requests.append({g, xcb_grab_key_checked(c, 0, m_connection->root(), g.modifiers, g.keycode,
                                                     XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
        }
    }
    bool held = false;
    bool failed = false;
    for (const auto &[g, cookie] : std::as_const(requests)) {
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            held = held || error->error_code == badAccess;
            failed = true;
            std::free(error);
        } else {
            registration.grabs.append(g);
        }
    }
    if (!failed)
        return true;
    ungrab(registration);
    Log::line(held ? QStringLiteral("X11: %1 is held by another program").arg(describe(registration))
                   : QStringLiteral("X11: the X server refused %1").arg(describe(registration)));
    return false;
}

void X11HotkeyService::ungrab(Registration &registration)
{
    for (const Grab &g : std::as_const(registration.grabs))
        xcb_ungrab_key(m_connection->get(), g.keycode, m_connection->root(), g.modifiers);
    registration.grabs.clear();
    xcb_flush(m_connection->get());
}

bool X11HotkeyService::clashesWithOwn(const Registration &candidate) const
{
    // X lets a client grab a combination twice, and one ungrab would then
    // silently end both; keep one owner per combination instead.
    for (const Registration &other : m_registrations) {
        if (other.handle == candidate.handle || other.xModifiers != candidate.xModifiers)
            continue;
        for (uint8_t keycode : other.keycodes) {
            if (candidate.keycodes.contains(keycode))
                return true;
        }
    }
    return false;
}

void X11HotkeyService::readEvents(bool fromSocket)
{
    if (!isConnected()) {
        reportLostConnection();
        return;
    }
    xcb_connection_t *c = m_connection->get();
    bool mappingChanged = false;
    while (xcb_generic_event_t *event = fromSocket ? xcb_poll_for_event(c) : xcb_poll_for_queued_event(c)) {
        switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS: {
            const auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
            dispatchPress(press->detail, press->state, press->time);
            break;
        }
        case XCB_MAPPING_NOTIFY: {
            const auto *mapping = reinterpret_cast<xcb_mapping_notify_event_t *>(event);
            mappingChanged = mappingChanged || mapping->request != XCB_MAPPING_POINTER;
            break;
        }
        default:
            break; // releases, and errors of requests nobody checks
        }
        std::free(event);
    }
    // A layout switch sends a burst of notifications: renew once for all.
    if (mappingChanged)
        renewGrabs();
    if (!m_connection->isOpen())
        reportLostConnection();
}

void X11HotkeyService::reportLostConnection()
{
    if (m_lostReported || !m_notifier)
        return;
    m_lostReported = true;
    m_notifier->setEnabled(false);
    if (m_connectionLost)
        m_connectionLost();
    else
        Log::line(QStringLiteral("X11: lost the connection to the X server; global hotkeys stopped"));
}

void X11HotkeyService::dispatchPress(uint8_t keycode, uint16_t state, uint32_t time)
{
    m_latestPress->record(time);
    const uint16_t modifiers = state & keyboardModifierBits & ~m_keyboard->lockMask();
    std::optional<HotkeyHandle> pressed;
    for (const Registration &registration : std::as_const(m_registrations)) {
        if (registration.xModifiers != modifiers)
            continue;
        for (const Grab &g : registration.grabs) {
            if (g.keycode == keycode)
                pressed = registration.handle;
        }
    }
    // The handler may change the registrations; call it outside the loop.
    if (pressed && m_handler)
        m_handler(HotkeyPress{*pressed, time});
}

void X11HotkeyService::renewGrabs()
{
    // Forget the old keys too: a key another hotkey held before the change
    // may be this one's now.
    for (Registration &registration : m_registrations) {
        ungrab(registration);
        registration.keycodes.clear();
    }
    m_keyboard->reload();
    // One that fails now stays registered without grabs (grab() logs why)
    // and is tried again at the next change.
    for (Registration &registration : m_registrations)
        grab(registration);
}

QString X11HotkeyService::describe(const Registration &registration) const
{
    QStringList parts;
    if (registration.modifierMask & HotkeyModifier::command)
        parts << QStringLiteral("Super");
    if (registration.modifierMask & HotkeyModifier::option)
        parts << QStringLiteral("Alt");
    if (registration.modifierMask & HotkeyModifier::shift)
        parts << QStringLiteral("Shift");
    if (registration.modifierMask & HotkeyModifier::control)
        parts << QStringLiteral("Ctrl");
    const std::optional<X11Key> key = X11KeyTable::find(registration.keyCode);
    parts << (key ? QString::fromLatin1(key->name) : QString::number(registration.keyCode));
    return parts.join(QLatin1Char('+'));
}
