#include "TestHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

TestHttpServer::TestHttpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::accept);
    m_server.listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
}

void TestHttpServer::serve(const QString &path, const QByteArray &body, const QByteArray &contentType)
{
    m_resources.insert(path, {body, contentType});
}

QStringList TestHttpServer::requestsFor(const QString &path) const
{
    QStringList result;
    for (const QString &target : m_requestTargets) {
        if (target.section(QLatin1Char('?'), 0, 0) == path)
            result.append(target);
    }
    return result;
}

void TestHttpServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestHttpServer::readRequest(QTcpSocket *socket)
{
    // Requests without a body only: wait for the end of the header block.
    QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
    const qsizetype headerEnd = buffered.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        socket->setProperty("buffered", buffered);
        return;
    }
    socket->setProperty("buffered", buffered.mid(headerEnd + 4));
    const QList<QByteArray> requestLine = buffered.left(buffered.indexOf("\r\n")).split(' ');
    const QString target = requestLine.size() >= 2 ? QString::fromLatin1(requestLine.at(1)) : QString();
    m_requestTargets.append(target);
    respond(socket, target);
}

void TestHttpServer::respond(QTcpSocket *socket, const QString &target)
{
    const auto resource = m_resources.constFind(target.section(QLatin1Char('?'), 0, 0));
    const bool found = resource != m_resources.constEnd();
    const QByteArray body = found ? resource->body : QByteArrayLiteral("not found");
    const QByteArray contentType = found ? resource->contentType : QByteArrayLiteral("text/plain");
    QByteArray response = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
    response += "Content-Type: " + contentType + "\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
    response += body;
    socket->write(response);
    socket->disconnectFromHost();
}
