#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

// One running program per user and display. The first process listens on a
// local socket in a directory only this user can enter; a later one finds it
// there, asks it to show its editor and leaves. Plain Unix sockets: Qt's
// network module would cost the idle program more than a megabyte of
// libraries for this one socket.
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

    // socketPath: a file in a private directory (see socketPathForThisSession).
    explicit SingleInstance(QString socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR when it is ours and private, otherwise /tmp/vantorel-<uid>;
    // the file is named after the display the program runs on.
    static QString socketPathForThisSession();

    // Checks the directory (creating it when missing) and whatever is at the
    // socket path before it trusts, asks or replaces it. A failure logs one
    // line saying why.
    Claim claim();
    // Like claim(), but a running program is asked to activate this button
    // instead of showing its editor; its answer is in activation().
    Claim claimToActivate(const QString &nameOrId);
    Activation activation() const { return m_activation; }

    // A claim made before the program's QCoreApplication existed answers
    // later starts only from here on; call it once one exists.
    void answerFromEventLoop();

    // How this instance answers activation requests of later starts.
    void setActivator(Activator activator) { m_activator = std::move(activator); }

    const QString &socketPath() const { return m_socketPath; }

signals:
    // Another start of the program asked for the editor.
    void showRequested();

private:
    enum class Found { nothing, ourSocket, other };
    Found inspectSocketPath(QString &problem) const;
    std::optional<Claim> settleSocketPath(bool removeStaleSocket);
    Claim fail(const QString &reason);
    bool askRunningInstance();
    void answerActivation(int fd, const QByteArray &target);
    bool listen(QString &problem);
    void stopListening();
    void watchListener();
    void acceptConnections();
    void readRequest(QSocketNotifier *client);

    QString m_socketPath;
    QByteArray m_request;
    Activation m_activation = Activation::noAnswer;
    Activator m_activator;
    int m_listener = -1;
    std::unique_ptr<QSocketNotifier> m_listenerNotifier;
    // A connected start; its notifier owns the descriptor.
    struct Client {
        std::unique_ptr<QSocketNotifier> notifier;
        QByteArray received;  // what it sent so far
        bool handled = false; // one request per connection
    };
    std::vector<Client> m_clients;
};
