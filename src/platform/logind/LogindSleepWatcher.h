#pragma once

#include <QObject>

// Hears from systemd-logind, on the system bus where there is one, when the
// machine wakes from suspend or hibernation. Starts listening once the event
// loop runs, so that connecting to the bus costs the start-up nothing.
class LogindSleepWatcher : public QObject {
    Q_OBJECT

public:
    explicit LogindSleepWatcher(QObject *parent = nullptr);

Q_SIGNALS:
    void resumed();

private Q_SLOTS:
    void prepareForSleep(bool goingToSleep);

private:
    void listen();
};
