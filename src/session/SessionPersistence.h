#pragma once

#include <QTimer>
#include <exception>

namespace dunmoss {

class EditorWindowModel;
class SessionStore;

// When a window writes its session, and what a failed write tells the person. A full save
// writes the settings record and then the recovery file; an edit only restarts a short wait
// after which the recovery file alone is written, so a run of keystrokes costs one write.
// Nothing is written under the interface-testing flag, nor before the window has restored its
// session.
class SessionPersistence {
public:
    static constexpr int kSnapshotDelayMs = 900;

    SessionPersistence(EditorWindowModel& model, SessionStore& store);

    bool isPersistenceEnabled() const;
    // Both copies are attempted; the record's error wins over the file's. Throws.
    void persistSession();
    // The message goes to the log, to the settings (shown at the next restore) and to the
    // window's error alert.
    void reportSessionSaveFailure(const std::exception& error);
    void scheduleRecoverySnapshot();
    void cancelRecoverySnapshot();
    bool hasPendingSnapshot() const { return m_snapshotTimer.isActive(); }

private:
    bool mayWrite() const;
    void writeRecoverySnapshot();

    EditorWindowModel& m_model;
    SessionStore& m_store;
    QTimer m_snapshotTimer;
};

} // namespace dunmoss
