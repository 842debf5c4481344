#pragma once

#include "platform/TextRange.h"
#include "session/BookmarksAside.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <exception>
#include <memory>

namespace dunmoss {

class EditorWindowModel;
class SessionStore;
struct RestoredSession;
struct SessionWriteOutcome;
struct SessionWriteSink;

// When a window writes its session, and what a failed write tells the person. The main thread
// only builds the record; the background SessionWriter encodes and writes it, and skips a
// record that has not changed. A full save writes the record and the recovery file; an edit, a
// new selection or another active tab only restarts a short wait after which the recovery file
// alone is written, at the latest kSnapshotMaxDelayMs after the first change it waits for,
// whatever else the window holds: a kill loses at most two seconds of typing. Texts that did not
// change cost the snapshot little (the writer keeps them escaped), so their size never makes it
// wait longer.
// Nothing is written under the interface-testing flag, nor before the window has restored its
// session. A failure is reported once until that copy is written again.
class SessionPersistence {
public:
    static constexpr int kSnapshotDelayMs = 900;
    // Below the two seconds of typing a crash may lose, as the write itself takes time.
    static constexpr int kSnapshotMaxDelayMs = 1500;
    // The writer takes a record's texts in and lets them go within a few ms when it is free; only
    // a text still held after this long is copied aside for the next key.
    static constexpr int kSpareDelayMs = 30;

    SessionPersistence(EditorWindowModel& model, SessionStore& store);
    ~SessionPersistence();

    bool isPersistenceEnabled() const;
    // Both copies go to the writer; a failure is reported when the writer is done with it.
    void persistSession();
    // The same, then waits for the writer (failures are reported). Answers, one line per copy,
    // why neither the record nor the recovery snapshot holds the window now; nothing when one
    // of them does.
    QStringList persistSessionAndWait();
    // Waits until the writer has handled everything handed to it, and reports the outcomes.
    // Answers the first failure, if any.
    std::exception_ptr waitForWrites();
    // The message goes to the log, to the settings (shown at the next restore) and to the
    // window's message bar, once while the same failure lasts.
    void reportSessionSaveFailure(const std::exception& error);
    // The last write of the record and of the recovery snapshot both failed: neither holds the
    // window.
    bool keepsNeitherCopy() const;
    void scheduleRecoverySnapshot();
    void cancelRecoverySnapshot();
    // While held, no snapshot is scheduled (a window saving before it closes writes its copies
    // itself); holding cancels the one waiting.
    void holdRecoverySnapshots(bool held);
    bool hasPendingSnapshot() const { return m_snapshotTimer.isActive(); }

private:
    bool mayWrite() const;
    RestoredSession currentRecord() const;
    void writeRecoverySnapshot();
    void followSelectionAndActiveTab();
    // After a record went to the writer.
    void readySpareLater();
    // Reports the outcomes waiting in the sink; answers them.
    QList<SessionWriteOutcome> handleOutcomes();

    EditorWindowModel& m_model;
    SessionStore& m_store;
    QTimer m_snapshotTimer;
    QTimer m_spareTimer;
    bool m_snapshotsHeld = false;
    QElapsedTimer m_snapshotWaitStarted;
    std::shared_ptr<SessionWriteSink> m_sink;
    // The failure last reported per file, until a write there succeeds.
    QHash<QString, QString> m_reportedFailures;
    // Made while a snapshot waits, so the record finds them.
    BookmarksAside m_bookmarks;
    QUuid m_seenActiveTabID;
    QList<TextRange> m_seenSelection;
};

} // namespace dunmoss
