#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusPendingReply>
#include <QObject>
#include <QString>
#include <QVariantMap>

class PortalRequestProxy;
class QDBusPendingCallWatcher;

// One call of the portal that answers through a Request object's Response
// signal. Response is subscribed on the path the portal will use before the
// call goes out, so a fast portal's answer is not lost:
//   request->watch(portal->Method(..., request->expect(options)));
// Answers once, then deletes itself.
class PortalRequest final : public QObject {
    Q_OBJECT

public:
    PortalRequest(const QDBusConnection &bus, QObject *parent);

    // Listens on the request path for a fresh handle_token, and returns the
    // call's options with that token in them.
    QVariantMap expect(QVariantMap options);
    // Follows the call made with expect()'s options: a failed call answers 2,
    // and a portal that puts the request elsewhere is listened to there.
    void watch(const QDBusPendingReply<QDBusObjectPath> &call);

    // A fresh token for a handle: letters, digits and '_' only.
    static QString newToken();

    // Why the call itself failed, if it did.
    QString error() const { return m_error; }

Q_SIGNALS:
    // response: 0 success, 1 cancelled by the user, 2 other failure (also
    // when the call itself failed).
    void finished(uint response, const QVariantMap &results);

private:
    void subscribe(const QString &path);
    void onCallAnswered(QDBusPendingCallWatcher *watcher);
    void finish(uint response, const QVariantMap &results);

    QDBusConnection m_bus;
    PortalRequestProxy *m_request = nullptr;
    QString m_error;
    bool m_done = false;
};
