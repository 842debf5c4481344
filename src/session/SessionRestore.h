#pragma once

#include "session/SessionRecord.h"
#include "text/EditorTab.h"
#include "text/TextCounts.h"
#include "window/SettledRead.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <QTextDocument>
#include <QUuid>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace dunmoss {

class EditorWindowModel;
class SessionStore;

// Brings the stored session back into a window, once per window: the newer of the recovery
// file and the session record (the recovery file wins a tie). Undecodable copies and a failed
// save of the last run are told in the window's message bar; the window keeps its first tab when
// nothing can be restored. Writes nothing back.
//
// The stored copies and the tabs' files are read in the window's queue of reads, on a pool
// thread (only a record an older version left in the settings is taken on the main thread); the
// tabs appear together, in their stored order with the stored active tab, once all are ready,
// ahead of any file asked for after the restore. Until then the window writes no session (its
// lone first tab would overwrite the stored one). The window's empty first tab gives way to
// them; a tab typed into or added meanwhile stays, after the restored ones, and stays active.
class SessionRestore {
public:
    static constexpr double kMinimumFontSize = 10;
    static constexpr double kMaximumFontSize = 28;

    SessionRestore(EditorWindowModel& model, SessionStore& store)
        : m_model(model), m_store(store) {}

    void restoreSession();
    // For a window going away while its restore is still read: what was typed meanwhile would
    // be lost, as no session is written before the restore. The stored copies are read here and
    // now, so the session the window leaves holds both. Nothing is done when nothing was typed.
    void finishNow();

private:
    friend class SessionRead;
    // What the pool thread made of the stored copies and of their tabs' files.
    struct ReadSession {
        bool recoveryFileWasCorrupt = false;
        bool recordFileWasCorrupt = false;
        // Paths whose cached bookmarks went stale.
        QStringList staleBookmarks;
        QList<EditorTab> tabs;
        // Per tab, what settling its file's interrupted save before the read has to tell.
        QList<SettledRead> settled;
        // Per tab, its filled document or none, and the counts of its text made with it.
        std::vector<std::unique_ptr<QTextDocument>> documents;
        std::vector<std::optional<TextCounts>> counts;
        QUuid activeTabID;
        double fontSize = 14;
    };
    void finishRestore(ReadSession read);
    void showRestoredTabs(ReadSession& read);
    void adoptNextStorage();

    EditorWindowModel& m_model;
    SessionStore& m_store;
    bool m_restoring = false;
    // What the restore under way reads, for reading it again in finishNow().
    bool m_readRecordFile = false;
    std::optional<RestoredSession> m_fromSettings;
    // The window's empty tabs when the restore began, which the restored tabs replace.
    QSet<QUuid> m_replaceable;
    // Filled documents of restored tabs not yet taken as their storages, in turn.
    struct PendingStorage {
        QUuid tabID;
        QString text;
        std::unique_ptr<QTextDocument> document;
        std::optional<TextCounts> counts;
    };
    std::deque<PendingStorage> m_pendingStorages;
};

} // namespace dunmoss
