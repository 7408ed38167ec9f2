#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// One call of the portal that answers through a Request object's Response
// signal. Response is subscribed on the path the portal will use before the
// call goes out, so a fast portal's answer is not lost. Answers once, then
// deletes itself.
class PortalRequest final : public QObject {
    Q_OBJECT

public:
    PortalRequest(const QDBusConnection &bus, QObject *parent);

    // Calls method of the GlobalShortcuts interface with arguments, then the
    // options (which get the request's handle_token).
    void call(const QString &method, const QVariantList &arguments, QVariantMap options);

    // A fresh token for a handle: letters, digits and '_' only.
    static QString newToken();

    // Why the call itself failed, if it did.
    QString error() const { return m_error; }

Q_SIGNALS:
    // response: 0 success, 1 cancelled by the user, 2 other failure (also
    // when the call itself failed).
    void finished(uint response, const QVariantMap &results);

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    void subscribe(const QString &path);
    void unsubscribe();
    void onCallAnswered(QDBusPendingCallWatcher *watcher);
    void finish(uint response, const QVariantMap &results);

    QDBusConnection m_bus;
    QString m_path;
    QString m_error;
    bool m_done = false;
};
