#include "SingleInstance.h"

#include "Log.h"
#include "PrivateDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int timeoutMs = 1000;
const QByteArray showRequest = QByteArrayLiteral("show\n");
} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{
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
    delete m_server;
    m_server = new QLocalServer(this);
    // The directory keeps others out; the default options bind in place, so
    // a file that appeared meanwhile is never replaced.
    m_server->setSocketOptions(QLocalServer::NoOptions);
    if (!m_server->listen(m_socketPath)) {
        problem = m_socketPath + QStringLiteral(": ") + m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

bool SingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(showRequest);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(showRequest.trimmed()))
                emit showRequested();
        });
    }
}
