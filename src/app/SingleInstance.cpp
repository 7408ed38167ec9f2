#include "SingleInstance.h"

#include "Log.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>

#include <unistd.h>

namespace {
constexpr int timeoutMs = 1000;
const QByteArray showRequest = QByteArrayLiteral("show\n");
} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent) : QObject(parent), m_name(std::move(name)) {}

QString SingleInstance::nameForThisSession()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    // The name becomes a file name in the temporary folder.
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return QStringLiteral("vantorel-%1-%2").arg(::getuid()).arg(display);
}

bool SingleInstance::claim()
{
    if (askRunningInstance())
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Another start may have begun listening since we asked.
        if (askRunningInstance())
            return false;
        // Nobody answers, so the socket is left over from a crash.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            Log::line(QStringLiteral("⚠️ Cannot watch for a second start: ") + m_server->errorString());
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

bool SingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
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
