#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests. Serves fixed bodies by
// path, answers 404 otherwise, and records every request target it gets
// (path and query, as sent).
class TestHttpServer : public QObject {
    Q_OBJECT
public:
    TestHttpServer();

    bool isListening() const { return m_server.isListening(); }
    // "http://127.0.0.1:<port>" followed by the path.
    QString url(const QString &path) const;

    void serve(const QString &path, const QByteArray &body,
               const QByteArray &contentType = QByteArrayLiteral("text/html; charset=utf-8"));

    // Request targets whose path (before any "?") equals path.
    QStringList requestsFor(const QString &path) const;

private:
    void accept();
    void readRequest(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const QString &target);

    struct Resource {
        QByteArray body;
        QByteArray contentType;
    };

    QTcpServer m_server;
    QHash<QString, Resource> m_resources;
    QStringList m_requestTargets;
};
