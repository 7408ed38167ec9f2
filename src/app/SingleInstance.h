#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

// One running program per user session. The first process listens on a
// local socket in a directory only this user can enter; a later one finds it
// there, asks it to show its editor or to launch a button, and leaves. The
// socket's place and the request lines are shared with the `vantorel`
// command (src/channel), which asks for activations without loading the
// program. Plain Unix sockets: Qt's network module would cost the idle
// program more than a megabyte of libraries for this one socket.
//
// The socket is never given up to a client: it counts as stale only when
// nothing accepts a connection to it. Connections are few at a time, idle
// ones are closed soon, requests are short, and near the descriptor limit
// the program stops taking new ones for a moment rather than spin or starve
// its own launches.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        thisInstance,       // this process listens now and goes on
        otherInstanceShown, // another one runs and has been asked (to show its editor, or to activate)
        failed,             // neither: the program must not run (the reason is logged)
    };

    // What the running program says to an activation request.
    enum class Activation { launched, unknownButton, noAnswer };
    // Given the name or id of a button, launches it; false when there is none.
    using Activator = std::function<bool(const QString &nameOrId)>;

    // Connections served at a time; one more closes the oldest.
    static constexpr int connectionLimit = 32;
    // A connection that has not sent its whole request by then is closed.
    static constexpr int idleTimeoutMs = 2000;

    // socketPath: a file in a private directory (see socketPathForThisSession).
    explicit SingleInstance(QString socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // See InstanceAddress: the display's socket in the session's private
    // runtime directory, or in /tmp/vantorel-<uid>.
    static QString socketPathForThisSession();

    // Checks the directory (creating it when missing) and whatever is at the
    // socket path before it trusts, asks or replaces it. A failure logs one
    // line saying why. Later starts are answered from the event loop (they
    // wait in the listen queue until it runs).
    Claim claim();
    // Like claim(), but a running program is asked to activate this button
    // instead of showing its editor; its answer is in activation().
    Claim claimToActivate(const QString &nameOrId);
    Activation activation() const { return m_activation; }

    // How this instance answers activation requests of later starts.
    void setActivator(Activator activator) { m_activator = std::move(activator); }

    const QString &socketPath() const { return m_socketPath; }

Q_SIGNALS:
    // Another start of the program asked for the editor.
    void showRequested();

private:
    enum class Found { nothing, ourSocket, other };
    Found inspectSocketPath(QString &problem) const;
    std::optional<Claim> settleSocketPath(bool removeStaleSocket);
    Claim fail(const QString &reason);
    bool listen(QString &problem);
    void stopListening();
    void watchListener();

    // A connected start; its notifier, made once it has to wait for the
    // rest of its request, watches the descriptor.
    struct Client {
        int fd = -1;
        std::unique_ptr<QSocketNotifier> notifier;
        QByteArray received;
        QElapsedTimer connected;
    };
    void acceptConnections();
    void admit(int fd);
    bool serve(Client &client); // false once the connection is done with
    void answer(int fd, const QByteArray &request);
    void closeClient(std::vector<Client>::iterator client);
    void closeIdleClients();
    void pauseAccepting();
    bool nearDescriptorLimit(int fd) const;

    QString m_socketPath;
    QByteArray m_request;
    Activation m_activation = Activation::noAnswer;
    Activator m_activator;
    int m_listener = -1;
    std::unique_ptr<QSocketNotifier> m_listenerNotifier;
    std::vector<Client> m_clients; // oldest first
    QTimer m_idleCheck;
    QTimer m_acceptAgain;
};
