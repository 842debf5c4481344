#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <functional>

namespace dunmoss {

class Defaults;

// Before a quit closes the windows, every window hands its session and recovery copy to the
// writer, and the quit waits until they and the settings are on disk.
// That wait runs on a thread of its own, so the windows keep painting and say they are saving;
// what is typed meanwhile is written by another round before the windows close (a few rounds
// at most: the windows' own close writes and waits for whatever is left). Main thread only.
class SavingBeforeQuit : public QObject {
    Q_OBJECT
public:
    // How many rounds run at most before the windows close.
    static constexpr int kMaxRounds = 3;

    explicit SavingBeforeQuit(Defaults& defaults, QObject* parent = nullptr);
    ~SavingBeforeQuit() override;

    // Runs `then` once everything is on disk. A call while saving does nothing.
    void start(std::function<void()> then);
    bool isSaving() const { return static_cast<bool>(m_then); }

private:
    void runRound();
    void roundOver();
    void showSaving(bool saving);

    Defaults& m_defaults;
    std::function<void()> m_then;
    int m_rounds = 0;
    bool m_changedMeanwhile = false;
    QList<QMetaObject::Connection> m_watches;
};

} // namespace dunmoss
