#include "X11RunningApplicationWindows.h"

#include "X11Connection.h"
#include "X11Time.h"

#include <QAbstractEventDispatcher>
#include <QSet>
#include <QString>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

namespace {
template<typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// _NET_ACTIVE_WINDOW source indication for a normal application.
constexpr uint32_t sourceApplication = 1;
// Longest window list read, in windows.
constexpr uint32_t maxWindows = 4096;

Reply<xcb_get_property_reply_t> propertyReply(xcb_connection_t *c, xcb_get_property_cookie_t cookie)
{
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, &error), &std::free);
    std::free(error); // a window gone in the meantime: no reply
    return reply;
}

std::vector<uint32_t> values32(const xcb_get_property_reply_t *reply, uint32_t type)
{
    if (!reply || reply->type != type || reply->format != 32)
        return {};
    const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(reply));
    return std::vector<uint32_t>(data, data + xcb_get_property_value_length(reply) / 4);
}

// WM_CLASS holds the instance and the class name, each ended by a zero byte.
QStringList classNames(const xcb_get_property_reply_t *reply)
{
    QStringList names;
    if (!reply || reply->format != 8)
        return names;
    const char *data = static_cast<const char *>(xcb_get_property_value(reply));
    const int length = xcb_get_property_value_length(reply);
    for (int start = 0; start < length;) {
        const int end = int(std::find(data + start, data + length, '\0') - data);
        if (end > start)
            names.append(QString::fromLatin1(data + start, end - start));
        start = end + 1;
    }
    return names;
}

bool classMatches(const QStringList &names, const QStringList &classes)
{
    return std::any_of(names.cbegin(), names.cend(),
                       [&](const QString &name) { return classes.contains(name, Qt::CaseInsensitive); });
}
} // namespace

X11RunningApplicationWindows::X11RunningApplicationWindows(std::shared_ptr<X11Connection> connection,
                                                           InputTime latestWindowInput)
    : m_connection(std::move(connection)), m_latestWindowInput(std::move(latestWindowInput))
{
    if (!m_connection->isOpen())
        return;
    // Told of every change of the window manager's lists, so that a press
    // finds what it needs already read.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection->get(), m_connection->root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection->get());
    m_connection->addRootPropertyListener(this, [this](const QList<uint32_t> &atoms) {
        if (!m_atoms)
            return; // nothing read yet, so nothing to renew
        const bool listsChanged = std::any_of(atoms.cbegin(), atoms.cend(), [this](uint32_t atom) {
            return atom == m_atoms->clientList || atom == m_atoms->clientListStacking || atom == m_atoms->activeWindow;
        });
        if (listsChanged)
            readLists();
    });
}

X11RunningApplicationWindows::~X11RunningApplicationWindows()
{
    m_connection->removeRootPropertyListeners(this);
}

const X11RunningApplicationWindows::Atoms &X11RunningApplicationWindows::atoms()
{
    if (m_atoms)
        return *m_atoms;
    xcb_connection_t *c = m_connection->get();
    const char *names[] = {"_NET_CLIENT_LIST", "_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW", "_NET_WM_PID",
                           "_NET_SUPPORTING_WM_CHECK"};
    xcb_intern_atom_cookie_t cookies[std::size(names)];
    for (size_t i = 0; i < std::size(names); ++i)
        cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(names[i])), names[i]);
    uint32_t values[std::size(names)] = {};
    for (size_t i = 0; i < std::size(names); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr), &std::free);
        values[i] = reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
    }
    m_atoms = std::make_unique<Atoms>(Atoms{values[0], values[1], values[2], values[3], values[4]});
    return *m_atoms;
}

bool X11RunningApplicationWindows::canFindWindows()
{
    if (!m_connection->isOpen())
        return false;
    xcb_connection_t *c = m_connection->get();
    const auto reply = propertyReply(
        c, xcb_get_property(c, 0, m_connection->root(), atoms().clientList, XCB_ATOM_WINDOW, 0, 0));
    return reply && reply->type == XCB_ATOM_WINDOW;
}

std::optional<quintptr> X11RunningApplicationWindows::find(const ApplicationIdentity &application)
{
    if (application.isEmpty() || !m_connection->isOpen())
        return std::nullopt;
    // The copies are kept up to date while the shortcut service reads the
    // connection's events; without it they are read anew.
    if (!m_listsKnown || !m_connection->eventsRead())
        readLists();

    // The active window wins; else the last one listed.
    std::optional<quintptr> found;
    bool foundActive = false;
    for (const uint32_t window : m_windows) {
        const WindowFacts &facts = m_known.value(window);
        const bool matches = (facts.processId && application.processIds.contains(*facts.processId))
            || classMatches(facts.classNames, application.windowClasses);
        if (matches && !foundActive) {
            found = window;
            foundActive = window == m_active;
        }
    }
    return found;
}

// One round trip for the lists, one more for windows new since the last time.
void X11RunningApplicationWindows::readLists()
{
    xcb_connection_t *c = m_connection->get();
    const xcb_window_t root = m_connection->root();
    const Atoms &atom = atoms();
    // The stacking order puts the window used last at the end; not every
    // window manager keeps it, every one keeps the plain list.
    const auto stackingCookie = xcb_get_property(c, 0, root, atom.clientListStacking, XCB_ATOM_WINDOW, 0, maxWindows);
    const auto listCookie = xcb_get_property(c, 0, root, atom.clientList, XCB_ATOM_WINDOW, 0, maxWindows);
    const auto activeCookie = xcb_get_property(c, 0, root, atom.activeWindow, XCB_ATOM_WINDOW, 0, 1);
    m_windows = values32(propertyReply(c, stackingCookie).get(), XCB_ATOM_WINDOW);
    const std::vector<uint32_t> listed = values32(propertyReply(c, listCookie).get(), XCB_ATOM_WINDOW);
    if (m_windows.empty())
        m_windows = listed;
    const std::vector<uint32_t> active = values32(propertyReply(c, activeCookie).get(), XCB_ATOM_WINDOW);
    m_active = active.empty() ? uint32_t(XCB_WINDOW_NONE) : active.front();
    learnAbout(m_windows);
    m_listsKnown = true;
}

// A window's class and process do not change while it lives: only windows
// new since the last lookup are asked about, all at once, and windows gone
// are forgotten.
void X11RunningApplicationWindows::learnAbout(const std::vector<uint32_t> &windows)
{
    const QSet<uint32_t> listed(windows.cbegin(), windows.cend());
    for (auto it = m_known.begin(); it != m_known.end();)
        it = listed.contains(it.key()) ? std::next(it) : m_known.erase(it);
    xcb_connection_t *c = m_connection->get();
    std::vector<std::tuple<uint32_t, xcb_get_property_cookie_t, xcb_get_property_cookie_t>> asked;
    for (const uint32_t window : windows) {
        if (!m_known.contains(window))
            asked.emplace_back(window, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
                               xcb_get_property(c, 0, window, atoms().wmPid, XCB_ATOM_CARDINAL, 0, 1));
    }
    for (const auto &[window, classCookie, pidCookie] : asked) {
        const auto wmClass = propertyReply(c, classCookie);
        const std::vector<uint32_t> pid = values32(propertyReply(c, pidCookie).get(), XCB_ATOM_CARDINAL);
        m_known.insert(window, {classNames(wmClass.get()), pid.empty() ? std::nullopt : std::optional<qint64>(pid.front())});
    }
}

uint32_t X11RunningApplicationWindows::activeWindow()
{
    xcb_connection_t *c = m_connection->get();
    const std::vector<uint32_t> active = values32(
        propertyReply(c, xcb_get_property(c, 0, m_connection->root(), atoms().activeWindow, XCB_ATOM_WINDOW, 0, 1))
            .get(),
        XCB_ATOM_WINDOW);
    return active.empty() ? uint32_t(XCB_WINDOW_NONE) : active.front();
}

bool X11RunningApplicationWindows::isFrontmost(quintptr window)
{
    if (!m_connection->isOpen() || window == XCB_WINDOW_NONE)
        return false;
    if (m_listsKnown && m_connection->eventsRead())
        return m_active == window;
    return activeWindow() == window;
}

void X11RunningApplicationWindows::activate(quintptr window, quint64 eventTime)
{
    if (!m_connection->isOpen())
        return;
    xcb_connection_t *c = m_connection->get();
    const auto target = xcb_window_t(window);
    // Before the event loop (a press served during the start-up) the program
    // has no windows yet, and the toolkit is still being set up: nothing to ask.
    const bool onEventLoop = QAbstractEventDispatcher::instance() != nullptr;
    const uint32_t time
        = laterX11Time(uint32_t(eventTime), m_latestWindowInput && onEventLoop ? m_latestWindowInput() : 0);

    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = target;
    message.type = atoms().activeWindow;
    message.data.data32[0] = sourceApplication;
    message.data.data32[1] = time;
    xcb_send_event(c, 0, m_connection->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));

    // A window manager answers the message, restoring a minimised window too;
    // without one, nobody would.
    const auto wmCheck = propertyReply(
        c, xcb_get_property(c, 0, m_connection->root(), atoms().supportingWmCheck, XCB_ATOM_WINDOW, 0, 1));
    if (!wmCheck || wmCheck->type != XCB_ATOM_WINDOW) {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_map_window(c, target);
        xcb_configure_window(c, target, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, target, time);
    }
    xcb_flush(c);
}
