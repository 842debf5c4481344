#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace dunmoss {

class EditorWindowModel;
class MaintenanceTick;
class SessionPersistence;

// What a window keeps is written before it closes (its close button, a quit, a signal) without
// holding the window: no autosave or recovery snapshot starts any more, the rereads of tabs'
// files under way end (the keys held for them landing on their text), the saves under way end, then
// the session and the recovery copy go to the writer, which a thread of its own waits for.
// Meanwhile the window keeps painting, says it is saving and takes keys. Then the last write: the
// window is sealed first (it takes no more keys, see setSeal), so the copies that write holds every
// key it accepted; a copy that stores what the file holds already is not written again, so each
// copy is written once, and once more only when something it stores changed during the first write.
// Main thread only.
class ClosingSave {
public:
    ClosingSave(EditorWindowModel& model, MaintenanceTick& maintenance,
                SessionPersistence& persistence);
    ~ClosingSave();
    ClosingSave(const ClosingSave&) = delete;
    ClosingSave& operator=(const ClosingSave&) = delete;

    // Says `message` in the window until everything is on disk, then runs `then`. A call while
    // saving waits for the same end (and says its own message).
    void start(const QString& message, std::function<void()> then);
    bool isSaving() const { return !m_waiting.empty(); }
    // Whether a close has anything to wait for: saves or rereads under way, or a session that is
    // written (not under interface testing, nor before the window restored its own).
    bool isNeeded() const;
    // The last start has ended: the window may close, its close writing only what is left.
    bool isDone() const { return m_done; }
    // A round waits for a tab's file read again, and the keys held for it, before it goes on.
    bool isWaitingForReads() const { return m_waitingForReads; }
    // The window stays after all (its close was declined, the quit cancelled): it is unsealed,
    // autosave and snapshots go on, and the next close saves again.
    void resume();
    // Called with true right before the last write begins, so that the window stops taking keys
    // (and shows that it does), and with false when it stays after all.
    void setSeal(std::function<void(bool sealed)> seal) { m_seal = std::move(seal); }
    bool isSealed() const { return m_sealed; }

private:
    struct Presence {
        ClosingSave* save = nullptr;
    };

    void runRound();
    void persistAndWait();
    void roundOver();
    void seal(bool sealed);
    void say(const QString& message);

    EditorWindowModel& m_model;
    MaintenanceTick& m_maintenance;
    SessionPersistence& m_persistence;
    std::shared_ptr<Presence> m_presence;
    std::vector<std::function<void()>> m_waiting;
    std::function<void(bool)> m_seal;
    QString m_message;
    bool m_sealed = false;
    bool m_loopWasRunning = false;
    bool m_done = false;
    bool m_waitingForReads = false;
};

} // namespace dunmoss
