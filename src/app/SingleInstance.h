#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running program per user and display. The first process listens on a
// local socket; a later one finds it there, asks it to show its editor and
// leaves.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString name, QObject *parent = nullptr);

    // From the user id and the display the program runs on.
    static QString nameForThisSession();

    // True when this process is the one instance and now listens; false when
    // another one runs and has been asked to show its editor.
    bool claim();

    const QString &name() const { return m_name; }

signals:
    // Another start of the program asked for the editor.
    void showRequested();

private:
    bool askRunningInstance();
    void acceptConnections();

    QString m_name;
    QLocalServer *m_server = nullptr;
};
