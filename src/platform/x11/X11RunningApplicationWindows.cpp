#include "platform/x11/X11RunningApplicationWindows.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowActivator.h"

#include <QSet>
#include <QString>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

namespace {
template<typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

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
                                                           std::shared_ptr<X11WindowActivator> activator)
    : m_connection(std::move(connection)),
      m_activator(activator ? std::move(activator) : std::make_shared<X11WindowActivator>(m_connection, nullptr))
{
    if (!m_connection->isOpen())
        return;
    // Told of every change of the window manager's lists, so that a press
    // finds what it needs already read.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection->get(), m_connection->root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection->get());
    m_connection->addListeners(this, {.rootProperties = [this](const QList<uint32_t> &atoms) { follow(atoms); }});
}

void X11RunningApplicationWindows::follow(const QList<uint32_t> &changedProperties)
{
    if (!m_atoms)
        return; // nothing read yet, so nothing to renew
    const bool listsChanged = std::any_of(changedProperties.cbegin(), changedProperties.cend(), [this](uint32_t atom) {
        return atom == m_atoms->clientList || atom == m_atoms->clientListStacking || atom == m_atoms->activeWindow;
    });
    if (listsChanged)
        readLists();
}

X11RunningApplicationWindows::~X11RunningApplicationWindows()
{
    m_connection->removeListeners(this);
}

const X11RunningApplicationWindows::Atoms &X11RunningApplicationWindows::atoms()
{
    if (m_atoms)
        return *m_atoms;
    const std::vector<uint32_t> atoms
        = m_connection->internAtoms({"_NET_CLIENT_LIST", "_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW", "_NET_WM_PID"});
    m_atoms = std::make_unique<Atoms>(Atoms{atoms[0], atoms[1], atoms[2], atoms[3]});
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
    // The copies are kept up to date while the connection reads its events;
    // else they are read anew.
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
    m_activator->activateOtherProgramsWindow(window, eventTime);
}
