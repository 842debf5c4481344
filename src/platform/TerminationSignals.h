#pragma once

#include <QObject>

class QSocketNotifier;

namespace dunmoss {

// Turns SIGTERM, SIGHUP and SIGINT (logout, shutdown, a closed terminal, Ctrl+C) into a signal
// on the main thread, through a self-pipe: the handler only writes the number to a socket,
// whose notifier then emits `received`. One instance per process; the previous handlers come
// back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace dunmoss
