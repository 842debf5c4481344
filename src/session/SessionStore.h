#pragma once

#include "session/SessionRecord.h"
#include "text/EditorTab.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace dunmoss {

class Defaults;

inline constexpr const char* kSessionRecordKey = "editor.session.v1";
inline constexpr const char* kRecoverySnapshotFileName = "recovery.json";

// Bookmarks of files by path, made at most once per path in this process and shared by the
// session and the recent files. Main thread only.
QHash<QString, QByteArray>& bookmarkCache();
// The cached bookmark of the path, made and cached on a miss; empty when none can be made.
QByteArray bookmarkForPath(const QString& path);

// Set when a stored record or snapshot could not be decoded; never reset in this process, so
// every window restored later says so again.
struct SessionCorruption {
    bool savedSessionWasCorrupt = false;
    bool recoverySnapshotWasCorrupt = false;
};
SessionCorruption& sessionCorruption();

SessionTab makeSessionTab(const EditorTab& tab);
// Reads the tab's file now; whether the tab shows the file or keeps the stored draft is
// decided by makeTabFromRestorePayload. A stored path that is not absolute is ignored (the
// tab keeps its draft as an untitled tab) so nothing is read relative to the working folder.
EditorTab makeTabFromSessionTab(const SessionTab& sessionTab);
RestoredSession makeSessionRecord(const QList<EditorTab>& tabs, const QUuid& activeTabID,
                                  double fontSize);

// The later of two records by `savedAt`; the first wins ties and when neither has a time.
std::optional<RestoredSession> newerSession(const std::optional<RestoredSession>& first,
                                            const std::optional<RestoredSession>& second);

// The two stored copies of the session: the record in the settings database and the recovery
// file. Copies of data that could not be decoded are kept beside the recovery file; nothing in
// that folder is ever deleted.
class SessionStore {
public:
    SessionStore(Defaults& defaults, QString recoveryDirectory);

    // The application-data folder's "Dunmoss Notepad/Recovery".
    static QString standardRecoveryDirectory();
    const QString& recoveryDirectory() const { return m_recoveryDirectory; }
    QString recoverySnapshotPath() const;
    Defaults& defaults() const { return m_defaults; }

    // Writes the record unless the stored bytes are the same. Throws on failure.
    void saveSession(const QList<EditorTab>& tabs, const QUuid& activeTabID, double fontSize);
    // Nothing when absent, not data, undecodable (copied aside and flagged) or without tabs.
    std::optional<RestoredSession> loadSavedSession();
    // Atomically, indented with sorted keys. Throws FileError.
    void writeRecoverySnapshot(const QList<EditorTab>& tabs, const QUuid& activeTabID,
                               double fontSize);
    // Nothing when missing or unreadable, undecodable (copied aside and flagged) or without
    // tabs.
    std::optional<RestoredSession> readRecoverySnapshot();
    // Keeps the bytes as "corrupt-<label>-<seconds>.json"; never fails.
    void backupCorruptData(const QByteArray& data, const QString& label);

private:
    Defaults& m_defaults;
    QString m_recoveryDirectory;
};

} // namespace dunmoss
