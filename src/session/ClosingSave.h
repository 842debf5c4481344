#pragma once

#include <QMetaObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace dunmoss {

class EditorWindowModel;
class MaintenanceTick;
class SessionPersistence;

// What a window keeps is written before it closes (its close button, a quit, a signal) without
// holding the window: no autosave or recovery snapshot starts any more, the saves under way
// end, then the session and the recovery copy go to the writer, which a thread of its own waits
// for. The window keeps painting and says it is saving; what is typed meanwhile goes in another
// round (a few at most: the close itself writes what is left). A copy that stores what the file
// holds already is not written again, so a close with nothing typed writes each once.
// Main thread only.
class ClosingSave {
public:
    static constexpr int kMaxRounds = 3;

    ClosingSave(EditorWindowModel& model, MaintenanceTick& maintenance,
                SessionPersistence& persistence);
    ~ClosingSave();
    ClosingSave(const ClosingSave&) = delete;
    ClosingSave& operator=(const ClosingSave&) = delete;

    // Says `message` in the window until everything is on disk, then runs `then`. A call while
    // saving waits for the same end (and says its own message).
    void start(const QString& message, std::function<void()> then);
    bool isSaving() const { return !m_waiting.empty(); }
    // Whether a close has anything to wait for: saves under way, or a session that is written
    // (not under interface testing, nor before the window restored its own).
    bool isNeeded() const;
    // The last start has ended: the window may close, its close writing only what is left.
    bool isDone() const { return m_done; }
    // The window stays after all (its close was declined, the quit cancelled): autosave and
    // snapshots go on, and the next close saves again.
    void resume();

private:
    struct Presence {
        ClosingSave* save = nullptr;
    };

    void runRound();
    void persistAndWait();
    void roundOver();
    void say(const QString& message);

    EditorWindowModel& m_model;
    MaintenanceTick& m_maintenance;
    SessionPersistence& m_persistence;
    std::shared_ptr<Presence> m_presence;
    std::vector<std::function<void()>> m_waiting;
    QString m_message;
    QMetaObject::Connection m_watch;
    int m_rounds = 0;
    bool m_changedMeanwhile = false;
    bool m_loopWasRunning = false;
    bool m_done = false;
};

} // namespace dunmoss
