#include "FakeSwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutexLocker>
#include <QRegularExpression>

#include <cstring>

namespace {
constexpr quint32 runCommandType = 0, subscribeType = 2, getVersionType = 7, getConfigType = 9;
constexpr quint32 workspaceEventType = 0x80000000u;
constexpr qsizetype headerSize = 14;

QByteArray result(bool success, const QString &error = QString())
{
    QJsonObject outcome{{QStringLiteral("success"), success}};
    if (!success) {
        outcome.insert(QStringLiteral("parse_error"), false);
        outcome.insert(QStringLiteral("error"), error);
    }
    return QJsonDocument(QJsonArray{outcome}).toJson(QJsonDocument::Compact);
}
} // namespace

FakeSwayIpc::FakeSwayIpc(const QString &socketPath) : m_path(socketPath), m_context(new QObject)
{
    m_context->moveToThread(&m_thread);
    m_thread.start();
    onServerThread([this] {
        m_server = new QLocalServer(m_context);
        QLocalServer::removeServer(m_path);
        m_listening = m_server->listen(m_path);
        QObject::connect(m_server, &QLocalServer::newConnection, m_context, [this] { accept(); });
    });
}

FakeSwayIpc::~FakeSwayIpc()
{
    onServerThread([this] {
        delete m_server; // its connections with it
        m_server = nullptr;
        m_received.clear();
        m_subscribed.clear();
    });
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

void FakeSwayIpc::onServerThread(const std::function<void()> &work) const
{
    QMetaObject::invokeMethod(m_context, work, Qt::BlockingQueuedConnection);
}

bool FakeSwayIpc::isListening() const
{
    return m_listening;
}

void FakeSwayIpc::setConfig(const QString &text, const QString &path)
{
    const QMutexLocker lock(&m_mutex);
    m_config = text;
    m_configPath = path;
}

void FakeSwayIpc::refuse(const QString &keys, const QString &error)
{
    const QMutexLocker lock(&m_mutex);
    m_refusals.insert(keys, error);
}

QStringList FakeSwayIpc::commands() const
{
    const QMutexLocker lock(&m_mutex);
    return m_commands;
}

QHash<QString, QString> FakeSwayIpc::bindings() const
{
    const QMutexLocker lock(&m_mutex);
    return m_bindings;
}

int FakeSwayIpc::configReads() const
{
    const QMutexLocker lock(&m_mutex);
    return m_configReads;
}

int FakeSwayIpc::subscribers() const
{
    int count = 0;
    onServerThread([&] { count = int(m_subscribed.size()); });
    return count;
}

void FakeSwayIpc::reload()
{
    {
        const QMutexLocker lock(&m_mutex);
        m_bindings.clear();
    }
    onServerThread([this] {
        const QByteArray event = frame(workspaceEventType, R"({"change":"reload","old":null,"current":null})");
        for (QLocalSocket *client : std::as_const(m_subscribed))
            client->write(event);
    });
}

void FakeSwayIpc::closeConnections()
{
    onServerThread([this] {
        const QList<QLocalSocket *> clients = m_received.keys();
        for (QLocalSocket *client : clients)
            client->disconnectFromServer();
    });
}

void FakeSwayIpc::accept()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        m_received.insert(client, {});
        QObject::connect(client, &QLocalSocket::readyRead, m_context, [this, client] { serve(client); });
        QObject::connect(client, &QLocalSocket::disconnected, m_context, [this, client] {
            m_received.remove(client);
            m_subscribed.removeAll(client);
            client->deleteLater();
        });
    }
}

void FakeSwayIpc::serve(QLocalSocket *client)
{
    QByteArray &buffer = m_received[client];
    buffer += client->readAll();
    while (buffer.size() >= headerSize) {
        if (!buffer.startsWith("i3-ipc")) {
            client->abort();
            return;
        }
        quint32 length = 0, type = 0;
        std::memcpy(&length, buffer.constData() + 6, 4);
        std::memcpy(&type, buffer.constData() + 10, 4);
        if (buffer.size() < headerSize + qsizetype(length))
            return;
        const QByteArray payload = buffer.mid(headerSize, length);
        buffer.remove(0, headerSize + length);
        client->write(frame(type, answer(client, type, payload)));
    }
}

QByteArray FakeSwayIpc::answer(QLocalSocket *client, quint32 type, const QByteArray &payload)
{
    switch (type) {
    case runCommandType:
        return runCommand(QString::fromUtf8(payload));
    case subscribeType: {
        const QJsonArray events = QJsonDocument::fromJson(payload).array();
        if (events.contains(QStringLiteral("workspace")) && !m_subscribed.contains(client))
            m_subscribed.append(client);
        return R"({"success":true})";
    }
    case getVersionType: {
        const QMutexLocker lock(&m_mutex);
        return QJsonDocument(QJsonObject{{QStringLiteral("human_readable"), QStringLiteral("1.7")},
                                         {QStringLiteral("variant"), QStringLiteral("sway")},
                                         {QStringLiteral("major"), 1},
                                         {QStringLiteral("minor"), 7},
                                         {QStringLiteral("patch"), 0},
                                         {QStringLiteral("loaded_config_file_name"), m_configPath}})
            .toJson(QJsonDocument::Compact);
    }
    case getConfigType: {
        const QMutexLocker lock(&m_mutex);
        ++m_configReads;
        return QJsonDocument(QJsonObject{{QStringLiteral("config"), m_config}}).toJson(QJsonDocument::Compact);
    }
    default:
        return R"({"success":false})";
    }
}

QByteArray FakeSwayIpc::runCommand(const QString &command)
{
    const QMutexLocker lock(&m_mutex);
    m_commands.append(command);
    // "bindsym [--flag…] KEYS COMMAND" or "unbindsym [--flag…] KEYS"
    static const QRegularExpression shape(QStringLiteral(R"(^(bindsym|unbindsym)((?:\s+--\S+)*)\s+(\S+)\s*(.*)$)"));
    const QRegularExpressionMatch match = shape.match(command);
    if (!match.hasMatch())
        return result(false, QStringLiteral("Unknown/invalid command '%1'").arg(command.section(QLatin1Char(' '), 0, 0)));
    const QString keys = match.captured(3);
    if (match.captured(1) == QLatin1String("unbindsym")) {
        if (!m_bindings.remove(keys))
            return result(false, QStringLiteral("Could not find binding `%1` for the given flags").arg(keys));
        return result(true);
    }
    if (m_refusals.contains(keys))
        return result(false, m_refusals.value(keys));
    if (match.captured(4).isEmpty())
        return result(false, QStringLiteral("Invalid bindsym command (expected at least 2 arguments, got 1)"));
    m_bindings.insert(keys, match.captured(4));
    return result(true);
}

QByteArray FakeSwayIpc::frame(quint32 type, const QByteArray &payload)
{
    QByteArray bytes("i3-ipc");
    const quint32 length = quint32(payload.size());
    bytes.append(reinterpret_cast<const char *>(&length), 4);
    bytes.append(reinterpret_cast<const char *>(&type), 4);
    return bytes + payload;
}
