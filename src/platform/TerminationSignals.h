#pragma once

#include <QObject>

class QSocketNotifier;

namespace dunmoss {

// Turns SIGTERM, SIGHUP and SIGINT (logout, shutdown, a closed terminal, Ctrl+C) into a signal
// on the main thread, through a self-pipe: the handler only writes the number to a socket,
// whose notifier then emits `received`. From the first of them a watch of its own thread ends
// the process (exit status 128 + its number) once the disk has taken no step for kStalledMs
// with no wait on it under way (see DiskProgress), or kDeadlineMs after the signal whatever the
// disk does: a slow disk, even one whose every sync takes longer than kStalledMs, is waited for,
// while a main thread that is busy or waiting on a person, or a disk that stopped answering,
// never keeps the program alive. Later signals change nothing. One instance per
// process; the previous handlers come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    static constexpr int kStalledMs = 2000;
    static constexpr int kDeadlineMs = 30'000;

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace dunmoss
