#include "SingleInstance.h"

#include "Log.h"
#include "PrivateDirectory.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr int timeoutMs = 1000;
// One line each way: "show", or "activate <percent-encoded name or id>"
// answered by "launched" or "unknown".
const QByteArray showRequest = QByteArrayLiteral("show\n");
const QByteArray activatePrefix = QByteArrayLiteral("activate ");
const QByteArray launchedAnswer = QByteArrayLiteral("launched\n");
const QByteArray unknownAnswer = QByteArrayLiteral("unknown\n");
constexpr qsizetype longestRequest = 4096;

QString errorText(const QString &path, int error)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

// The socket's address, or nothing when the path does not fit in one.
std::optional<sockaddr_un> addressOf(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(encoded.size()) >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    return address;
}
} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent), m_socketPath(std::move(socketPath)), m_request(showRequest)
{
}

SingleInstance::Claim SingleInstance::claimToActivate(const QString &nameOrId)
{
    m_request = activatePrefix + nameOrId.toUtf8().toPercentEncoding() + '\n';
    return claim();
}

SingleInstance::~SingleInstance()
{
    stopListening();
}

QString SingleInstance::socketPathForThisSession()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));

    QString directory = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (directory.isEmpty() || !QDir::isAbsolutePath(directory) || PrivateDirectory::problem(directory))
        directory = QStringLiteral("/tmp/vantorel-%1").arg(::geteuid());
    return directory + QStringLiteral("/vantorel-") + display;
}

SingleInstance::Claim SingleInstance::claim()
{
    if (const auto problem = PrivateDirectory::ensure(QFileInfo(m_socketPath).path()))
        return fail(*problem);

    if (const std::optional<Claim> answer = settleSocketPath(false))
        return *answer;
    QString problem;
    if (listen(problem))
        return Claim::thisInstance;

    // Something is there now: a start that began listening since we asked,
    // or a socket left over from a crash that nobody answers on.
    if (const std::optional<Claim> answer = settleSocketPath(true))
        return *answer;
    if (listen(problem))
        return Claim::thisInstance;
    return fail(problem);
}

// What is at the socket path: someone else's file ends the start, a running
// instance answers it; otherwise this start may listen (after removing our
// own socket that nobody answers on, when asked to).
std::optional<SingleInstance::Claim> SingleInstance::settleSocketPath(bool removeStaleSocket)
{
    QString problem;
    switch (inspectSocketPath(problem)) {
    case Found::other:
        return fail(problem);
    case Found::ourSocket:
        if (askRunningInstance())
            return Claim::otherInstanceShown;
        if (removeStaleSocket)
            ::unlink(QFile::encodeName(m_socketPath).constData());
        break;
    case Found::nothing:
        break;
    }
    return std::nullopt;
}

SingleInstance::Found SingleInstance::inspectSocketPath(QString &problem) const
{
    struct stat status {};
    if (::lstat(QFile::encodeName(m_socketPath).constData(), &status) != 0) {
        if (errno == ENOENT)
            return Found::nothing;
        problem = m_socketPath + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return Found::other;
    }
    // Never talk to nor remove what another user put there.
    if (status.st_uid != ::geteuid()) {
        problem = m_socketPath + QStringLiteral(" belongs to user %1").arg(status.st_uid);
        return Found::other;
    }
    if (!S_ISSOCK(status.st_mode)) {
        problem = m_socketPath + QStringLiteral(" is not a socket");
        return Found::other;
    }
    return Found::ourSocket;
}

SingleInstance::Claim SingleInstance::fail(const QString &reason)
{
    Log::line(QStringLiteral("❌ Cannot start: ") + reason);
    return Claim::failed;
}

bool SingleInstance::listen(QString &problem)
{
    stopListening();
    const std::optional<sockaddr_un> address = addressOf(m_socketPath);
    if (!address) {
        problem = errorText(m_socketPath, ENAMETOOLONG);
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // The directory keeps others out; bind never replaces a file that
    // appeared meanwhile.
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&*address), sizeof *address) != 0
        || ::listen(fd, SOMAXCONN) != 0) {
        problem = errorText(m_socketPath, errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_listener = fd;
    // Later starts wait in the listen queue until there is an event loop.
    if (QAbstractEventDispatcher::instance())
        watchListener();
    return true;
}

void SingleInstance::answerFromEventLoop()
{
    if (m_listener >= 0 && !m_listenerNotifier)
        watchListener();
}

void SingleInstance::watchListener()
{
    m_listenerNotifier = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    connect(m_listenerNotifier.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
}

void SingleInstance::answerActivation(int fd, const QByteArray &target)
{
    const bool launched = m_activator && m_activator(QString::fromUtf8(QByteArray::fromPercentEncoding(target)));
    const QByteArray &answer = launched ? launchedAnswer : unknownAnswer;
    ::send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
}

void SingleInstance::stopListening()
{
    for (Client &client : m_clients) {
        const int fd = int(client.notifier->socket());
        client.notifier.reset();
        ::close(fd);
    }
    m_clients.clear();
    m_listenerNotifier.reset();
    if (m_listener >= 0) {
        ::close(m_listener);
        // The next start finds nothing there rather than a dead socket.
        ::unlink(QFile::encodeName(m_socketPath).constData());
    }
    m_listener = -1;
}

bool SingleInstance::askRunningInstance()
{
    const std::optional<sockaddr_un> address = addressOf(m_socketPath);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (!address || fd < 0) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&*address), sizeof *address) == 0;
    // A full backlog: wait for the running instance to make room.
    if (!connected && errno == EAGAIN) {
        pollfd writable{fd, POLLOUT, 0};
        connected = ::poll(&writable, 1, timeoutMs) == 1 && (writable.revents & POLLOUT)
            && ::connect(fd, reinterpret_cast<const sockaddr *>(&*address), sizeof *address) == 0;
    }
    if (connected)
        connected = ::send(fd, m_request.constData(), size_t(m_request.size()), MSG_NOSIGNAL) == m_request.size();
    if (connected && m_request.startsWith(activatePrefix)) {
        // The running program answers once it has started the target.
        QByteArray answer;
        pollfd readable{fd, POLLIN, 0};
        while (!answer.contains('\n') && ::poll(&readable, 1, timeoutMs) == 1) {
            char buffer[64];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            answer.append(buffer, n);
        }
        m_activation = answer == launchedAnswer ? Activation::launched
            : answer == unknownAnswer           ? Activation::unknownButton
                                                : Activation::noAnswer;
    }
    ::close(fd);
    return connected;
}

void SingleInstance::acceptConnections()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        auto client = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QSocketNotifier *raw = client.get();
        connect(raw, &QSocketNotifier::activated, this, [this, raw] { readRequest(raw); });
        m_clients.push_back({std::move(client), {}});
    }
}

void SingleInstance::readRequest(QSocketNotifier *client)
{
    const int fd = int(client->socket());
    const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                 [client](const Client &c) { return c.notifier.get() == client; });
    if (it == m_clients.end())
        return;
    char buffer[512];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) {
        if (it->handled)
            return;
        it->received.append(buffer, n);
        const qsizetype end = it->received.indexOf('\n');
        if (end < 0 && it->received.size() < longestRequest)
            return;
        it->handled = true;
        const QByteArray request = it->received.left(end);
        if (request == showRequest.trimmed())
            emit showRequested();
        else if (request.startsWith(activatePrefix))
            answerActivation(fd, request.mid(activatePrefix.size()));
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    // The other start is done (or gone).
    client->setEnabled(false);
    ::close(fd);
    // Called from the notifier's own signal: delete it later.
    it->notifier.release()->deleteLater();
    m_clients.erase(it);
}
