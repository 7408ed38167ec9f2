#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a clean quit of the event loop: a desktop
// session ends its programs with SIGTERM. A process whose main thread is
// too busy to quit within graceSeconds is ended by the signal itself. Made
// before the QCoreApplication, it catches the signals at once and reports
// them once the event loop runs.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    static constexpr unsigned graceSeconds = 1;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void watch();

    QSocketNotifier *m_notifier = nullptr;
};
