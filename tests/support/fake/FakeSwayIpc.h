#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>

class QLocalServer;
class QLocalSocket;

// A stand-in for sway's IPC socket, speaking its framing ("i3-ipc", length,
// type) on a thread of its own, so that a client may also wait for it
// without an event loop. It keeps the bindings made at run time as sway
// does: bindsym adds or replaces, unbindsym removes or fails, reload()
// drops them all and tells the subscribers of workspace events. Every
// method may be called from the test's thread.
class FakeSwayIpc {
public:
    explicit FakeSwayIpc(const QString &socketPath);
    ~FakeSwayIpc();
    FakeSwayIpc(const FakeSwayIpc &) = delete;
    FakeSwayIpc &operator=(const FakeSwayIpc &) = delete;

    bool isListening() const;
    QString path() const { return m_path; }

    // What GET_CONFIG answers, and the file GET_VERSION says it came from.
    void setConfig(const QString &text, const QString &path = QString());
    // bindsym on these keys fails with this error.
    void refuse(const QString &keys, const QString &error);

    QStringList commands() const;             // every RUN_COMMAND, in order
    QHash<QString, QString> bindings() const; // run-time bindings: keys → command
    int configReads() const;
    int subscribers() const;

    // As `swaymsg reload`: drops the run-time bindings, then sends each
    // subscriber the workspace event with change "reload".
    void reload();
    // As sway quitting: every connection ends.
    void closeConnections();

private:
    void accept();
    void serve(QLocalSocket *client);
    QByteArray answer(QLocalSocket *client, quint32 type, const QByteArray &payload);
    QByteArray runCommand(const QString &command);
    static QByteArray frame(quint32 type, const QByteArray &payload);
    void onServerThread(const std::function<void()> &work) const;

    QString m_path;
    QThread m_thread;
    QObject *m_context; // lives on m_thread
    QLocalServer *m_server = nullptr;
    QHash<QLocalSocket *, QByteArray> m_received;
    QList<QLocalSocket *> m_subscribed;
    bool m_listening = false;

    mutable QMutex m_mutex; // guards what follows
    QString m_config;
    QString m_configPath;
    QHash<QString, QString> m_refusals;
    QStringList m_commands;
    QHash<QString, QString> m_bindings;
    int m_configReads = 0;
};
