#pragma once

#include "session/SessionRecord.h"
#include "text/EditorTab.h"
#include "window/SettledRead.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <memory>
#include <optional>

namespace dunmoss {

class Defaults;
struct SessionWriteSink;

// Where older versions kept the record, in the settings file; read once, then moved to its file.
inline constexpr const char* kSessionRecordKey = "editor.session.v1";
// The record's own file, beside the settings file, so the settings stay small.
inline constexpr const char* kSessionRecordFileName = "session.json";
inline constexpr const char* kRecoverySnapshotFileName = "recovery.json";

// Bookmarks of files by path, made at most once per path in this process and shared by the
// session and the recent files. Main thread only.
QHash<QString, QByteArray>& bookmarkCache();
// The cached bookmark of the path, made and cached on a miss; empty when none can be made.
QByteArray bookmarkForPath(const QString& path);

// Files of tabs for which no bookmark could be made (the file missing), with what the tab knew
// of its file then: a session saved again while the tab knows the same asks the disk no more.
// A tab that saves its file, or learns that it changed, asks again. Main thread only.
struct MissingBookmarkFile {
    std::optional<FileTimestamp> lastKnownModificationDate;
    std::optional<qint64> lastKnownFileSize;
    bool hasExternalChanges = false;
    friend bool operator==(const MissingBookmarkFile&, const MissingBookmarkFile&) = default;
};
using MissingBookmarkFiles = QHash<QString, MissingBookmarkFile>;
MissingBookmarkFiles& missingBookmarkFiles();
MissingBookmarkFile missingBookmarkFileFacts(const EditorTab& tab);
// True when bookmarkForTabFile would answer without asking the disk.
bool isTabFileBookmarkKnown(const QString& path, const EditorTab& tab);
// The bookmark of a tab's file at `path`: bookmarkForPath, unless the file was missing when the
// tab last knew the same of it.
QByteArray bookmarkForTabFile(const QString& path, const EditorTab& tab);

// Set when a stored record or snapshot could not be decoded; never reset in this process, so
// every window restored later says so again.
struct SessionCorruption {
    bool savedSessionWasCorrupt = false;
    bool recoverySnapshotWasCorrupt = false;
};
SessionCorruption& sessionCorruption();

SessionTab makeSessionTab(const EditorTab& tab);
// The stored tab's file, found by its bookmark or else by its path. A stored path that is not
// absolute is ignored (the tab keeps its draft as an untitled tab) so nothing is read relative
// to the working folder. A stale bookmark still finds the file; its path is added to `stale`,
// whose cached bookmarks the caller drops on the main thread. Runs on any thread.
std::optional<QUrl> sessionTabFileURL(const SessionTab& sessionTab, QStringList& stale);
// Reads the tab's file now; whether the tab shows the file or keeps the stored draft is
// decided by makeTabFromRestorePayload.
EditorTab makeTabFromSessionTab(const SessionTab& sessionTab);
// The same with the file already found (sessionTabFileURL), the tab's last noted write and when
// the session was built (see makeTabFromRestorePayload); runs on any thread. The file's
// interrupted in-place save is settled first; what that has to tell goes to `settled`.
EditorTab makeTabFromSessionTab(const SessionTab& sessionTab, const std::optional<QUrl>& fileURL,
                                const std::optional<OwnWriteRecord>& lastWrite = {},
                                std::optional<double> sessionBuiltAt = {},
                                SettledRead* settled = nullptr);
RestoredSession makeSessionRecord(const QList<EditorTab>& tabs, const QUuid& activeTabID,
                                  double fontSize);

// Reads and decodes one stored copy, on any thread: nothing when it is missing, unreadable,
// undecodable (kept aside in the recovery folder, and `corrupt` set) or without tabs. The
// writer notes what the file holds, so the same record is not written again.
std::optional<RestoredSession> readStoredSessionCopy(const QString& path,
                                                     SessionRecordFormat format,
                                                     const QString& recoveryDirectory,
                                                     const QString& label, bool& corrupt);
// Keeps the bytes as "corrupt-<label>-<seconds>.json" in the folder, through the background
// writer; never fails.
void keepCorruptCopy(const QString& recoveryDirectory, const QByteArray& data,
                     const QString& label);

// The later of two records by `savedAt`; the first wins ties and when neither has a time.
std::optional<RestoredSession> newerSession(const std::optional<RestoredSession>& first,
                                            const std::optional<RestoredSession>& second);

// The two stored copies of the session: the record in its file beside the settings file (one
// line) and the recovery file (indented, keys sorted). Both are written by the background
// SessionWriter, atomically. Copies of data that could not be decoded are kept beside the
// recovery file; nothing in that folder is ever deleted.
class SessionStore {
public:
    SessionStore(Defaults& defaults, QString recoveryDirectory);

    // The application-data folder's "Dunmoss Notepad/Recovery".
    static QString standardRecoveryDirectory();
    const QString& recoveryDirectory() const { return m_recoveryDirectory; }
    QString recoverySnapshotPath() const;
    QString sessionRecordPath() const;
    Defaults& defaults() const { return m_defaults; }

    // Hand the record to the writer, which tells the sink what became of it.
    void saveSession(const RestoredSession& record, std::shared_ptr<SessionWriteSink> sink = {});
    void writeRecoverySnapshot(const RestoredSession& record,
                               std::shared_ptr<SessionWriteSink> sink = {});
    // Files this store's copies were written to in this process.
    int writeCount() const;

    // Nothing when absent, not data, undecodable (copied aside and flagged) or without tabs. A
    // record still in the settings (from an older version) is read too, moved into its own file
    // and removed from the settings.
    std::optional<RestoredSession> loadSavedSession();
    // The two parts of that: the record's own file (any thread; `corrupt` set when it cannot
    // be decoded), and a record an older version kept in the settings, moved into that file
    // when there is none (main thread).
    std::optional<RestoredSession> readRecordFile(bool& corrupt) const;
    std::optional<RestoredSession> takeRecordFromSettings(bool& corrupt);
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
