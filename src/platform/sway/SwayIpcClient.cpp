#include "platform/sway/SwayIpcClient.h"

#include "platform/sway/SwayIpcFrame.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

SwayIpcClient::SwayIpcClient(QObject *parent) : QObject(parent), m_socket(new QLocalSocket(this))
{
    connect(m_socket, &QLocalSocket::connected, this, &SwayIpcClient::connected);
    connect(m_socket, &QLocalSocket::readyRead, this, &SwayIpcClient::readReplies);
    connect(m_socket, &QLocalSocket::disconnected, this,
            [this] { close(QStringLiteral("sway closed the connection")); });
    connect(m_socket, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError error) {
        if (error != QLocalSocket::PeerClosedError)
            close(m_socket->errorString());
    });
}

SwayIpcClient::~SwayIpcClient()
{
    // Nobody is left to hear about it.
    m_socket->disconnect(this);
}

QString SwayIpcClient::socketPathForThisSession()
{
    return qEnvironmentVariable("SWAYSOCK");
}

bool SwayIpcClient::answers(const QString &path, int timeoutMs)
{
    if (path.isEmpty())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    socket.write(SwayIpcFrame::encode(SwayIpcFrame::getVersion, {}));
    QByteArray received;
    while (socket.waitForReadyRead(int(deadline.remainingTime()))) {
        received += socket.readAll();
        bool broken = false;
        const std::optional<SwayIpcFrame> reply = SwayIpcFrame::take(received, broken);
        if (broken)
            return false;
        if (reply)
            return reply->type == SwayIpcFrame::getVersion;
    }
    return false;
}

void SwayIpcClient::connectTo(const QString &path)
{
    m_closed = false;
    m_received.clear();
    m_socket->connectToServer(path);
}

bool SwayIpcClient::isConnected() const
{
    return m_socket->state() == QLocalSocket::ConnectedState;
}

void SwayIpcClient::send(quint32 type, const QByteArray &payload, ReplyHandler onReply)
{
    if (m_closed)
        return;
    // A QLocalSocket buffers what is written while it connects.
    m_socket->write(SwayIpcFrame::encode(type, payload));
    m_waiting.append(std::move(onReply));
}

bool SwayIpcClient::finishPending(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_waiting.isEmpty() && !m_closed && !deadline.hasExpired()) {
        if (m_socket->bytesToWrite() > 0) {
            m_socket->waitForBytesWritten(int(deadline.remainingTime()));
            continue;
        }
        // Emits readyRead, which reads the replies.
        if (!m_socket->waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    return m_waiting.isEmpty();
}

void SwayIpcClient::readReplies()
{
    m_received += m_socket->readAll();
    for (;;) {
        bool broken = false;
        std::optional<SwayIpcFrame> frame = SwayIpcFrame::take(m_received, broken);
        if (broken) {
            close(QStringLiteral("sway sent something that is not an IPC message"));
            m_socket->abort();
            return;
        }
        if (!frame)
            return;
        if (frame->type & SwayIpcFrame::eventBit) {
            Q_EMIT event(frame->type, frame->payload);
        } else if (!m_waiting.isEmpty()) {
            const ReplyHandler handler = m_waiting.takeFirst();
            if (handler)
                handler(frame->payload);
        }
        if (m_closed)
            return;
    }
}

void SwayIpcClient::close(const QString &why)
{
    if (m_closed)
        return;
    m_closed = true;
    m_waiting.clear();
    Q_EMIT closed(why);
}
