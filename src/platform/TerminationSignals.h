#pragma once

#include <QObject>

class QSocketNotifier;

namespace dunmoss {

// Turns SIGTERM, SIGHUP and SIGINT (logout, shutdown, a closed terminal, Ctrl+C) into a signal
// on the main thread, through a self-pipe: the handler only writes the number to a socket,
// whose notifier then emits `received`. Whatever the main thread is doing, the process ends
// kDeadlineMs after the first of them (exit status 128 + its number), so a main thread that is
// busy or waiting on a person never keeps it alive; later ones change nothing. One instance per
// process; the previous handlers come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    static constexpr int kDeadlineMs = 2000;

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace dunmoss
