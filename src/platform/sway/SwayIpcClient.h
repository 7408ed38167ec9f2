#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QLocalSocket;

// One connection to sway's IPC socket, asynchronous: requests are answered
// in the order they were sent, events (after a subscription) come between
// the replies. Main thread.
class SwayIpcClient final : public QObject {
    Q_OBJECT

public:
    using ReplyHandler = std::function<void(const QByteArray &payload)>;

    explicit SwayIpcClient(QObject *parent = nullptr);
    ~SwayIpcClient() override;

    // The socket this session's sway listens on: SWAYSOCK.
    static QString socketPathForThisSession();
    // Whether a sway answers on path within the time: asked once at start.
    static bool answers(const QString &path, int timeoutMs);

    // connected or closed follows.
    void connectTo(const QString &path);
    bool isConnected() const;
    // Queued until the connection is up; dropped (without an answer) if it
    // closes first.
    void send(quint32 type, const QByteArray &payload, ReplyHandler onReply = {});
    // Waits for every reply still due, up to the time given: for the last
    // requests before the program ends. Whether all came.
    bool finishPending(int timeoutMs);

Q_SIGNALS:
    void connected();
    void closed(const QString &why);
    void event(quint32 type, const QByteArray &payload);

private:
    void readReplies();
    void close(const QString &why);

    QLocalSocket *m_socket;
    QByteArray m_received;
    QList<ReplyHandler> m_waiting; // one per request sent, in order
    bool m_closed = false;
};
