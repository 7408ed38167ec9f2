#include "platform/x11/X11Connection.h"

#include "model/Log.h"
#include "platform/posix/DescriptorWatchThread.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {
// The connection whose display-lost handler runs if the process exits while
// the server is gone; see setDisplayLostHandler(). A plain pointer: an exit
// handler can take no argument.
X11Connection *reportsLossAtExit = nullptr;

// Runs a function before Qt handles a key or focus event of its own
// connection. When a window of the program has the focus, Super and Alt go
// to it and a grab takes its focus: Qt would handle those first, and a
// press on our connection would wait for it.
class BeforeQtsKeyEvents final : public QAbstractNativeEventFilter {
public:
    explicit BeforeQtsKeyEvents(std::function<void()> run) : m_run(std::move(run)) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        const int type = eventType == "xcb_generic_event_t"
            ? static_cast<xcb_generic_event_t *>(message)->response_type & 0x7f : 0;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE || type == XCB_FOCUS_IN || type == XCB_FOCUS_OUT)
            m_run();
        return false;
    }

private:
    std::function<void()> m_run;
};
} // namespace

X11Connection::X11Connection()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        m_error = QStringLiteral("DISPLAY is not set");
        return;
    }
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        m_error = QStringLiteral("cannot open display %1").arg(QString::fromLocal8Bit(display));
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        m_error = QStringLiteral("display %1 has no screen %2")
                      .arg(QString::fromLocal8Bit(display))
                      .arg(screenNumber);
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = screens.data->root;
}

X11Connection::~X11Connection()
{
    stopWatchThread();
    if (reportsLossAtExit == this)
        reportsLossAtExit = nullptr;
    if (m_displayLost)
        Log::watchQtMessages({});
    m_handOver.reset();
    m_beforeQtsKeys.reset();
    m_notifier.reset();
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11Connection::isOpen() const
{
    return m_connection && !xcb_connection_has_error(m_connection);
}

std::vector<uint32_t> X11Connection::internAtoms(std::initializer_list<const char *> names) const
{
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const char *name : names)
        cookies.push_back(xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name));
    std::vector<uint32_t> atoms;
    for (const xcb_intern_atom_cookie_t cookie : cookies) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        atoms.push_back(reply ? reply->atom : uint32_t(XCB_ATOM_NONE));
        std::free(reply);
    }
    return atoms;
}

bool X11Connection::roundTrip() const
{
    xcb_get_input_focus_reply_t *reply
        = xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr);
    std::free(reply);
    return reply != nullptr;
}

void X11Connection::addListeners(const void *owner, Listeners listeners)
{
    m_listeners.emplace_back(owner, std::move(listeners));
}

void X11Connection::removeListeners(const void *owner)
{
    stopWatchThread();
    std::erase_if(m_listeners, [owner](const auto &listener) { return listener.first == owner; });
}

void X11Connection::readFromEventLoop()
{
    if (!m_connection)
        return; // never connected: nothing to read
    stopWatchThread();
    if (!m_notifier) {
        m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         [this] { readEvents(true); });
        // Round trips (of any backend on this connection) can pull events
        // off the socket into xcb's queue, where the notifier never sees
        // them; pick those up before the event loop sleeps.
        if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance()) {
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, m_notifier.get(),
                             [this] { readEvents(false); });
            // Not before the hand-over: what the thread left comes first.
            m_beforeQtsKeys = std::make_unique<BeforeQtsKeyEvents>([this] {
                if (!m_handOver || !m_handOver->isActive())
                    readEvents(true);
            });
            dispatcher->installNativeEventFilter(m_beforeQtsKeys.get());
        }
    }
    m_notifier->setEnabled(!m_lossReported);
    m_eventsRead = !m_lossReported;
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
                         // The presses first: they were made on the keys
                         // before the layout change the thread saw.
                         tell({.presses = left.presses});
                         tell({.mappingChanged = left.mappingChanged});
                         readEvents(false);
                     });
    m_handOver->start(0);
}

void X11Connection::readBeforeEventLoop(TakeNow takeNow)
{
    if (!isOpen() || m_watchThread)
        return;
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_takeNow = std::move(takeNow);
    m_eventsRead = true;
    m_watchThread = std::make_unique<DescriptorWatchThread>(xcb_get_file_descriptor(m_connection),
                                                            [this] { return readOnWatchThread(); });
}

void X11Connection::stopWatchThread()
{
    if (!m_watchThread)
        return;
    m_watchThread->stop();
    m_watchThread.reset();
    m_takeNow = {};
    m_eventsRead = false;
}

bool X11Connection::readOnWatchThread()
{
    // Telling waits for replies, which moves events that come meanwhile off
    // the socket into xcb's queue, where poll() would not see them: those
    // are read too.
    for (Events events = takeEvents(true);
         !events.presses.isEmpty() || !events.rootProperties.isEmpty() || events.mappingChanged;
         events = takeEvents(false)) {
        tell({.rootProperties = events.rootProperties});
        for (const KeyPress &press : std::as_const(events.presses)) {
            if (!m_takeNow || !m_takeNow(press))
                m_leftForTheLoop.presses.append(press);
        }
        m_leftForTheLoop.mappingChanged = m_leftForTheLoop.mappingChanged || events.mappingChanged;
    }
    return isOpen();
}

void X11Connection::readEvents(bool fromSocket)
{
    if (m_watchThread || m_reading)
        return; // its thread reads until readFromEventLoop(); or a listener made Qt handle its events
    if (!isOpen()) {
        reportDisplayLost();
        return;
    }
    m_reading = true;
    tell(takeEvents(fromSocket));
    m_reading = false;
    if (!isOpen())
        reportDisplayLost();
}

X11Connection::Events X11Connection::takeEvents(bool fromSocket) const
{
    Events events;
    while (xcb_generic_event_t *event
           = fromSocket ? xcb_poll_for_event(m_connection) : xcb_poll_for_queued_event(m_connection)) {
        switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS: {
            const auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
            events.presses.append({press->detail, press->state, press->time});
            break;
        }
        case XCB_MAPPING_NOTIFY: {
            const auto *mapping = reinterpret_cast<xcb_mapping_notify_event_t *>(event);
            events.mappingChanged = events.mappingChanged || mapping->request != XCB_MAPPING_POINTER;
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto *property = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (property->window == m_root && !events.rootProperties.contains(property->atom))
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

// A layout switch sends a burst of notifications: told once for all. Root
// properties before the presses: one of them may look for a window that
// just opened. Presses last: whoever hears one may rebind.
void X11Connection::tell(const Events &events) const
{
    for (const auto &[owner, listeners] : m_listeners) {
        if (events.mappingChanged && listeners.keyboardMapping)
            listeners.keyboardMapping();
    }
    for (const auto &[owner, listeners] : m_listeners) {
        if (!events.rootProperties.isEmpty() && listeners.rootProperties)
            listeners.rootProperties(events.rootProperties);
    }
    for (const KeyPress &press : events.presses) {
        for (const auto &[owner, listeners] : m_listeners) {
            if (listeners.keyPress)
                listeners.keyPress(press);
        }
    }
}

void X11Connection::setDisplayLostHandler(std::function<void()> handler)
{
    m_displayLost = std::move(handler);
    // Qt's xcb platform plugin holds its own connection to the same server
    // and, when that breaks, logs this warning and ends the process with
    // exit(1) at once. It can notice before our socket notifier fires.
    Log::watchQtMessages([this](QtMsgType type, const QString &message) {
        const bool onMainThread = QCoreApplication::instance()
            && QThread::currentThread() == QCoreApplication::instance()->thread();
        if (!onMainThread)
            return;
        if (type == QtWarningMsg && message.startsWith(QLatin1String("The X11 connection broke")))
            reportDisplayLost();
        // A QApplication built after the grabs that cannot set up its own
        // connection ends the process with abort(): when ours is gone too,
        // the server went away during the start-up.
        else if (type == QtFatalMsg && !serverAnswers())
            reportDisplayLost();
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

void X11Connection::reportLossAtExit()
{
    if (m_lossReported || !m_connection || serverAnswers())
        return;
    m_lossReported = true;
    if (m_displayLost)
        m_displayLost();
}

bool X11Connection::serverAnswers() const
{
    return isOpen() && roundTrip() && isOpen();
}

void X11Connection::reportDisplayLost()
{
    if (m_lossReported || !m_connection)
        return;
    m_lossReported = true;
    m_eventsRead = false;
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_displayLost)
        m_displayLost();
    else
        Log::line(QStringLiteral("X11: lost the connection to the X server; global hotkeys stopped"));
}
