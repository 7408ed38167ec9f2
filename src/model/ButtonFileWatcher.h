#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Tells when the button file may have changed on disk: written in place,
// replaced by a rename (as editors and sync tools save), or, for a symbolic
// link, its target changed or the link pointed elsewhere. Bursts of events
// come out as one changed(), once things have settled.
class ButtonFileWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int settleMs = 100;

    explicit ButtonFileWatcher(QString path, QObject *parent = nullptr);

Q_SIGNALS:
    void changed();

private:
    void eventSeen();
    void watchCurrentPaths();

    QString m_path;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};
