#include "app/SingleInstance.h"

#include "app/PrivateDirectory.h"
#include "channel/InstanceAddress.h"
#include "channel/InstanceClient.h"
#include "channel/InstanceProtocol.h"
#include "model/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// Descriptors kept free for launches (a child opens /dev/null, the program
// watches it through a process descriptor) and the rest of the program.
constexpr rlim_t reservedDescriptors = 16;
// How soon a paused listener tries again.
constexpr int acceptRetryMs = 200;

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

std::string_view viewOf(const QByteArray &bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}
} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent), m_socketPath(std::move(socketPath)),
      m_request(QByteArray::fromRawData(InstanceProtocol::showRequest.data(),
                                        qsizetype(InstanceProtocol::showRequest.size())))
{
    m_idleCheck.setInterval(idleTimeoutMs / 4);
    connect(&m_idleCheck, &QTimer::timeout, this, &SingleInstance::closeIdleClients);
    m_acceptAgain.setSingleShot(true);
    m_acceptAgain.setInterval(acceptRetryMs);
    connect(&m_acceptAgain, &QTimer::timeout, this, [this] {
        if (m_listenerNotifier)
            m_listenerNotifier->setEnabled(true);
    });
}

SingleInstance::Claim SingleInstance::claimToActivate(const QString &nameOrId)
{
    const QByteArray name = nameOrId.toUtf8();
    const std::optional<InstanceProtocol::Request> request = InstanceProtocol::activation(viewOf(name));
    if (!request)
        return fail(QStringLiteral("a button's name or id has at most %1 bytes").arg(InstanceProtocol::longestName));
    m_request = QByteArray(request->c_str(), qsizetype(request->size()));
    return claim();
}

SingleInstance::~SingleInstance()
{
    stopListening();
}

QString SingleInstance::socketPathForThisSession()
{
    return QFile::decodeName(InstanceAddress::forThisSession().c_str());
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
// own socket that nothing accepts connections on, when asked to).
std::optional<SingleInstance::Claim> SingleInstance::settleSocketPath(bool removeStaleSocket)
{
    QString problem;
    switch (inspectSocketPath(problem)) {
    case Found::other:
        return fail(problem);
    case Found::nothing:
        return std::nullopt;
    case Found::ourSocket:
        break;
    }
    const QByteArray path = QFile::encodeName(m_socketPath);
    const bool isActivation = m_request.startsWith(InstanceProtocol::activatePrefix.data());
    const InstanceClient::Outcome asked = InstanceClient::ask(path.constData(), viewOf(m_request), isActivation);
    switch (asked.reach) {
    case InstanceClient::Reach::answered:
        m_activation = asked.answer == InstanceProtocol::Answer::launched ? Activation::launched
            : asked.answer == InstanceProtocol::Answer::unknown            ? Activation::unknownButton
                                                                           : Activation::noAnswer;
        return Claim::otherInstanceShown;
    case InstanceClient::Reach::noAnswer:
        // Busy or stuck, but running: never taken over.
        if (isActivation)
            return Claim::otherInstanceShown; // activation() says noAnswer
        return fail(m_socketPath + QStringLiteral(": the running program did not answer"));
    case InstanceClient::Reach::unreachable:
        return fail(errorText(m_socketPath, asked.error));
    case InstanceClient::Reach::nobodyListens:
        break;
    }
    if (removeStaleSocket)
        ::unlink(path.constData());
    return std::nullopt;
}

SingleInstance::Found SingleInstance::inspectSocketPath(QString &problem) const
{
    struct stat status {};
    if (::lstat(QFile::encodeName(m_socketPath).constData(), &status) != 0) {
        if (errno == ENOENT)
            return Found::nothing;
        problem = errorText(m_socketPath, errno);
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
    QMetaObject::invokeMethod(this, &SingleInstance::watchListener, Qt::QueuedConnection);
    return true;
}

void SingleInstance::watchListener()
{
    if (m_listener < 0 || m_listenerNotifier)
        return;
    m_listenerNotifier = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    connect(m_listenerNotifier.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
}

void SingleInstance::stopListening()
{
    for (Client &client : m_clients) {
        client.notifier.reset();
        ::close(client.fd);
    }
    m_clients.clear();
    m_idleCheck.stop();
    m_acceptAgain.stop();
    m_listenerNotifier.reset();
    if (m_listener >= 0) {
        ::close(m_listener);
        // The next start finds nothing there rather than a dead socket.
        ::unlink(QFile::encodeName(m_socketPath).constData());
    }
    m_listener = -1;
}

void SingleInstance::acceptConnections()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            admit(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Out of descriptors: the oldest connection makes room, or the
            // listener rests a moment (it would be ready again at once).
            if (!m_clients.empty()) {
                closeClient(m_clients.begin());
                continue;
            }
            pauseAccepting();
        }
        return; // EAGAIN: nobody else waits
    }
}

// A start sends its request right after connecting: most are served here
// without a notifier of their own.
void SingleInstance::admit(int fd)
{
    Client client;
    client.fd = fd;
    client.connected.start();
    if (!serve(client)) {
        ::close(fd);
        return;
    }
    client.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(client.notifier.get(), &QSocketNotifier::activated, this, [this, fd] {
        const auto it = std::find_if(m_clients.begin(), m_clients.end(), [fd](const Client &c) { return c.fd == fd; });
        if (it != m_clients.end() && !serve(*it))
            closeClient(it);
    });
    m_clients.push_back(std::move(client));
    if (!m_idleCheck.isActive())
        m_idleCheck.start();
    // Waiting connections never take the last descriptors: the oldest one
    // goes (this one, when it is the only one, and the listener rests).
    const bool nearLimit = nearDescriptorLimit(fd);
    if (nearLimit && m_clients.size() == 1)
        pauseAccepting();
    if (nearLimit || m_clients.size() > size_t(connectionLimit))
        closeClient(m_clients.begin());
}

bool SingleInstance::serve(Client &client)
{
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true;
        if (n <= 0)
            return false; // the other start is gone
        client.received.append(buffer, n);
        const qsizetype end = client.received.indexOf('\n');
        if (end >= 0) {
            answer(client.fd, client.received.left(end + 1));
            return false;
        }
        if (size_t(client.received.size()) >= InstanceProtocol::longestRequest) {
            answer(client.fd, {});
            return false;
        }
    }
}

// One request per connection, whole line given; the connection closes after it.
void SingleInstance::answer(int fd, const QByteArray &request)
{
    using InstanceProtocol::Answer;
    const std::string_view line = viewOf(request);
    Answer result = Answer::refused;
    if (line == InstanceProtocol::showRequest) {
        Q_EMIT showRequested();
        return;
    }
    if (line.substr(0, InstanceProtocol::activatePrefix.size()) == InstanceProtocol::activatePrefix) {
        const std::string_view encoded = line.substr(InstanceProtocol::activatePrefix.size(),
                                                     line.size() - InstanceProtocol::activatePrefix.size() - 1);
        QByteArray name(qsizetype(encoded.size()), Qt::Uninitialized);
        name.truncate(qsizetype(InstanceProtocol::decodeName(encoded, name.data())));
        // As for a hotkey: the target starts first, the log lines come after.
        const Log::Held reportAfterTheLaunch;
        result = m_activator && m_activator(QString::fromUtf8(name)) ? Answer::launched : Answer::unknown;
    }
    const std::string_view text = InstanceProtocol::lineOf(result);
    // A few bytes into an empty socket buffer: never blocks.
    ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
}

void SingleInstance::closeClient(std::vector<Client>::iterator client)
{
    if (client->notifier) {
        client->notifier->setEnabled(false);
        // Maybe called from the notifier's own signal: delete it later.
        client->notifier.release()->deleteLater();
    }
    ::close(client->fd);
    m_clients.erase(client);
    if (m_clients.empty())
        m_idleCheck.stop();
}

void SingleInstance::closeIdleClients()
{
    std::erase_if(m_clients, [](Client &client) {
        if (!client.connected.hasExpired(idleTimeoutMs))
            return false;
        client.notifier->setEnabled(false);
        client.notifier.release()->deleteLater();
        ::close(client.fd);
        return true;
    });
    if (m_clients.empty())
        m_idleCheck.stop();
}

void SingleInstance::pauseAccepting()
{
    if (m_listenerNotifier)
        m_listenerNotifier->setEnabled(false);
    m_acceptAgain.start();
}

bool SingleInstance::nearDescriptorLimit(int fd) const
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return false;
    // New descriptors take the lowest free number: one this high means
    // few are left.
    return rlim_t(fd) + reservedDescriptors >= limit.rlim_cur;
}
