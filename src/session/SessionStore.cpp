#include "session/SessionStore.h"

#include "platform/Bookmark.h"
#include "platform/Defaults.h"
#include "platform/FileStat.h"
#include "platform/SecurityScopedAccess.h"
#include "session/FilesBesideSettings.h"
#include "session/SessionWriter.h"
#include "session/StoredSessionRecord.h"
#include "session/StrictJson.h"
#include "text/OwnWriteRecord.h"
#include "text/TextFileLoader.h"
#include "window/SettledRead.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <climits>
#include <cmath>

namespace dunmoss {

namespace {

std::optional<RestoredSession> decodeOrKeepAside(const QString& recoveryDirectory,
                                                 const QByteArray& data, const QString& label,
                                                 bool& corruptFlag) {
    try {
        RestoredSession session = decodeSessionRecord(data);
        if (session.tabs.isEmpty())
            return std::nullopt;
        return session;
    } catch (const JsonDecodeError&) {
        keepCorruptCopy(recoveryDirectory, data, label);
        corruptFlag = true;
        return std::nullopt;
    }
}

std::shared_ptr<const StoredValue> storedRecord(RestoredSession record,
                                                SessionRecordFormat format) {
    return std::make_shared<StoredSessionRecord>(std::move(record), format);
}

bool isAbsolutePath(const std::optional<QString>& path) {
    return path && !path->isEmpty() && QDir::isAbsolutePath(*path);
}

std::optional<FileIdentity> storedFileIdentity(const SessionTab& stored) {
    if (!stored.lastKnownFileIdentity)
        return std::nullopt;
    const QStringList parts = stored.lastKnownFileIdentity->split(QLatin1Char(':'));
    bool deviceRead = false;
    bool inodeRead = false;
    const FileIdentity identity{parts.value(0).toULongLong(&deviceRead),
                                parts.value(1).toULongLong(&inodeRead)};
    if (parts.size() != 2 || !deviceRead || !inodeRead)
        return std::nullopt;
    return identity;
}

// A file unchanged since the record was made is read in the encoding it was shown in, which the
// person may have chosen with "Reopen with Encoding"; any other file by detection.
std::optional<TextFileEncoding> encodingOfUnchangedFile(const SessionTab& stored,
                                                        const QUrl& fileURL) {
    if (!stored.lastKnownModificationTimestamp || !stored.lastKnownFileSize)
        return std::nullopt;
    std::optional<FileTimestamp> changeTime;
    if (stored.lastKnownChangeTimestamp)
        changeTime = FileTimestamp::fromSecondsSinceEpoch(*stored.lastKnownChangeTimestamp);
    if (hasFileChangedOnDisk(
            fileURL, FileTimestamp::fromSecondsSinceEpoch(*stored.lastKnownModificationTimestamp),
            stored.lastKnownFileSize, storedFileIdentity(stored), changeTime))
        return std::nullopt;
    return textFileEncodingFromIdentifier(stored.savedEncodingKey.value_or(stored.encodingKey));
}

} // namespace

QHash<QString, QByteArray>& bookmarkCache() {
    static QHash<QString, QByteArray> cache;
    return cache;
}

QByteArray bookmarkForPath(const QString& path) {
    QHash<QString, QByteArray>& cache = bookmarkCache();
    const auto it = cache.constFind(path);
    if (it != cache.constEnd())
        return *it;
    const QByteArray bookmark = makeBookmark(path);
    if (!bookmark.isEmpty())
        cache.insert(path, bookmark);
    return bookmark;
}

SessionCorruption& sessionCorruption() {
    static SessionCorruption flags;
    return flags;
}

MissingBookmarkFiles& missingBookmarkFiles() {
    static MissingBookmarkFiles missing;
    return missing;
}

MissingBookmarkFile missingBookmarkFileFacts(const EditorTab& tab) {
    return {tab.lastKnownModificationDate, tab.lastKnownFileSize, tab.hasExternalChanges};
}

bool isTabFileBookmarkKnown(const QString& path, const EditorTab& tab) {
    const MissingBookmarkFiles& missing = missingBookmarkFiles();
    const auto known = missing.constFind(path);
    if (known != missing.constEnd())
        return *known == missingBookmarkFileFacts(tab);
    return bookmarkCache().contains(path);
}

QByteArray bookmarkForTabFile(const QString& path, const EditorTab& tab) {
    const MissingBookmarkFile facts = missingBookmarkFileFacts(tab);
    MissingBookmarkFiles& missing = missingBookmarkFiles();
    const auto known = missing.constFind(path);
    if (known != missing.constEnd() && *known == facts)
        return {};
    const QByteArray bookmark = bookmarkForPath(path);
    if (bookmark.isEmpty())
        missing.insert(path, facts);
    else if (known != missing.constEnd())
        missing.erase(known);
    return bookmark;
}

SessionTab makeSessionTab(const EditorTab& tab) {
    SessionTab out;
    out.id = tab.id;
    if (tab.fileURL) {
        const QString path = tab.fileURL->toLocalFile();
        out.filePath = path;
        const QByteArray bookmark = bookmarkForTabFile(path, tab);
        if (!bookmark.isEmpty())
            out.fileBookmark = bookmark;
    }
    if (tab.languageOverride)
        out.languageKey = rawValue(*tab.languageOverride);
    out.draftText = tab.document.text;
    out.savedSnapshot = tab.savedSnapshot;
    out.selectedLocation = tab.selectedRange.location;
    out.selectedLength = tab.selectedRange.length;
    QList<SessionRange> ranges;
    for (const TextRange& range : tab.selectedRanges)
        ranges.append(SessionRange{range.location, range.length});
    out.selectedRanges = ranges;
    out.encodingKey = identifier(tab.document.encoding);
    out.lineEndingKey = identifier(tab.document.lineEnding);
    out.savedEncodingKey = identifier(tab.savedEncoding);
    out.savedLineEndingKey = identifier(tab.savedLineEnding);
    out.bookmarkedLines = QList<qint64>(tab.bookmarkedLines.begin(), tab.bookmarkedLines.end());
    if (tab.lastKnownModificationDate)
        out.lastKnownModificationTimestamp = tab.lastKnownModificationDate->toSecondsSinceEpoch();
    out.lastKnownFileSize = tab.lastKnownFileSize;
    if (tab.lastKnownFileIdentity)
        out.lastKnownFileIdentity = QStringLiteral("%1:%2")
                                        .arg(tab.lastKnownFileIdentity->device)
                                        .arg(tab.lastKnownFileIdentity->inode);
    if (tab.lastKnownChangeTime)
        out.lastKnownChangeTimestamp = tab.lastKnownChangeTime->toSecondsSinceEpoch();
    out.hasExternalChanges = tab.hasExternalChanges;
    out.isReadOnly = tab.isReadOnly;
    out.isLargeFilePreview = tab.isLargeFilePreview;
    out.originalByteCount = tab.originalByteCount;
    return out;
}

std::optional<QUrl> sessionTabFileURL(const SessionTab& stored, QStringList& stale) {
    std::optional<QUrl> fileURL;
    if (stored.fileBookmark) {
        if (const std::optional<ResolvedBookmark> resolved =
                resolveBookmark(*stored.fileBookmark)) {
            // A stale bookmark still finds the file; the next save makes a fresh one.
            if (resolved->isStale)
                stale.append(resolved->path);
            fileURL = QUrl::fromLocalFile(resolved->path);
        }
    }
    if (!fileURL && isAbsolutePath(stored.filePath))
        fileURL = QUrl::fromLocalFile(QDir::cleanPath(*stored.filePath));
    return fileURL;
}

EditorTab makeTabFromSessionTab(const SessionTab& stored) {
    QStringList stale;
    const std::optional<QUrl> fileURL = sessionTabFileURL(stored, stale);
    for (const QString& path : stale)
        bookmarkCache().remove(path);
    return makeTabFromSessionTab(stored, fileURL);
}

EditorTab makeTabFromSessionTab(const SessionTab& stored, const std::optional<QUrl>& fileURL,
                                const std::optional<OwnWriteRecord>& lastWrite,
                                std::optional<double> sessionBuiltAt, SettledRead* settled) {
    EditorSessionRestorePayload payload;
    payload.lastWrite = lastWrite;
    payload.sessionBuiltAt = sessionBuiltAt;
    payload.id = stored.id;
    payload.fileURL = fileURL;
    if (stored.languageKey)
        payload.languageOverride = editorLanguageFromRawValue(*stored.languageKey);
    payload.draftText = stored.draftText;
    payload.savedSnapshot = stored.savedSnapshot;
    payload.encoding = textFileEncodingForKey(stored.encodingKey);
    payload.lineEnding = textLineEndingForKey(stored.lineEndingKey);
    payload.savedEncoding = stored.savedEncodingKey
                                ? textFileEncodingForKey(*stored.savedEncodingKey)
                                : payload.encoding;
    payload.savedLineEnding = stored.savedLineEndingKey
                                  ? textLineEndingForKey(*stored.savedLineEndingKey)
                                  : payload.lineEnding;

    std::optional<LoadedPlainTextDocument> loaded;
    // An in-place write a kill stopped is settled before the file is read, so the tab never
    // takes a torn file for its saved text; while a copy of the old bytes stays, the file is not
    // read and the tab keeps its stored text.
    const bool readable = !fileURL || [&] {
        try {
            SettledRead done = settleBeforeReading(fileURL->toLocalFile());
            if (settled)
                *settled = std::move(done);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }();
    if (fileURL && readable) {
        SecurityScopedAccess access(*fileURL);
        const std::optional<TextFileEncoding> kept = encodingOfUnchangedFile(stored, *fileURL);
        try {
            loaded = loadTextFile(*fileURL, kept);
        } catch (const std::exception&) {
            // The tab keeps its stored draft.
        }
        if (!loaded && kept) {
            try {
                loaded = loadTextFile(*fileURL);
            } catch (const std::exception&) {
            }
        }
    }

    payload.selectedRange = TextRange{std::max<qint64>(0, stored.selectedLocation),
                                      std::max<qint64>(0, stored.selectedLength)};
    if (stored.selectedRanges) {
        for (const SessionRange& range : *stored.selectedRanges)
            payload.selectedRanges.append(
                TextRange{std::max<qint64>(0, range.location), std::max<qint64>(0, range.length)});
    } else {
        payload.selectedRanges = {payload.selectedRange};
    }
    if (stored.bookmarkedLines)
        for (qint64 line : *stored.bookmarkedLines)
            if (line > 0 && line <= INT_MAX)
                payload.bookmarkedLines.insert(int(line));
    if (stored.lastKnownModificationTimestamp)
        payload.lastKnownModificationDate =
            FileTimestamp::fromSecondsSinceEpoch(*stored.lastKnownModificationTimestamp);
    payload.lastKnownFileSize = stored.lastKnownFileSize;
    payload.lastKnownFileIdentity = storedFileIdentity(stored);
    if (stored.lastKnownChangeTimestamp)
        payload.lastKnownChangeTime =
            FileTimestamp::fromSecondsSinceEpoch(*stored.lastKnownChangeTimestamp);
    payload.hasExternalChanges = stored.hasExternalChanges;
    payload.isReadOnly = stored.isReadOnly.value_or(false);
    payload.isLargeFilePreview = stored.isLargeFilePreview.value_or(false);
    payload.originalByteCount = stored.originalByteCount;
    return makeTabFromRestorePayload(payload, loaded);
}

RestoredSession makeSessionRecord(const QList<EditorTab>& tabs, const QUuid& activeTabID,
                                  double fontSize) {
    RestoredSession session;
    // The time is taken before the tabs are converted.
    session.savedAt = orderedSecondsSinceEpoch();
    session.schemaVersion = RestoredSession::kSchemaVersion;
    session.activeTabID = activeTabID;
    session.fontSize = fontSize;
    session.tabs.reserve(tabs.size());
    for (const EditorTab& tab : tabs)
        session.tabs.append(makeSessionTab(tab));
    return session;
}

std::optional<RestoredSession> newerSession(const std::optional<RestoredSession>& first,
                                            const std::optional<RestoredSession>& second) {
    if (!first || !second)
        return first ? first : second;
    if (!first->savedAt)
        return second->savedAt ? second : first;
    if (second->savedAt && *second->savedAt > *first->savedAt)
        return second;
    return first;
}

SessionStore::SessionStore(Defaults& defaults, QString recoveryDirectory)
    : m_defaults(defaults), m_recoveryDirectory(std::move(recoveryDirectory)) {}

QString SessionStore::standardRecoveryDirectory() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return base + QStringLiteral("/Dunmoss Notepad/Recovery");
}

QString SessionStore::recoverySnapshotPath() const {
    return m_recoveryDirectory + QLatin1Char('/') + QLatin1String(kRecoverySnapshotFileName);
}

QString SessionStore::sessionRecordPath() const {
    return pathBesideSettings(m_defaults, kSessionRecordFileName);
}

void SessionStore::saveSession(const RestoredSession& record,
                               std::shared_ptr<SessionWriteSink> sink) {
    SessionWriter::shared().submit(
        sessionRecordPath(), storedRecord(record, SessionRecordFormat::Compact), std::move(sink));
}

void SessionStore::writeRecoverySnapshot(const RestoredSession& record,
                                         std::shared_ptr<SessionWriteSink> sink) {
    SessionWriter::shared().submit(recoverySnapshotPath(),
                                   storedRecord(record, SessionRecordFormat::PrettySorted),
                                   std::move(sink));
}

int SessionStore::writeCount() const {
    const SessionWriter& writer = SessionWriter::shared();
    return writer.writeCount(sessionRecordPath()) + writer.writeCount(recoverySnapshotPath());
}

std::optional<RestoredSession> readStoredSessionCopy(const QString& path,
                                                     SessionRecordFormat format,
                                                     const QString& recoveryDirectory,
                                                     const QString& label, bool& corrupt) {
    const std::optional<QByteArray> data = readRegularFile(path);
    if (!data)
        return std::nullopt;
    std::optional<RestoredSession> session =
        decodeOrKeepAside(recoveryDirectory, *data, label, corrupt);
    if (session)
        SessionWriter::shared().noteStored(path, storedRecord(*session, format));
    return session;
}

std::optional<RestoredSession> SessionStore::readRecordFile(bool& corrupt) const {
    return readStoredSessionCopy(sessionRecordPath(), SessionRecordFormat::Compact,
                                 m_recoveryDirectory, QStringLiteral("session"), corrupt);
}

std::optional<RestoredSession> SessionStore::takeRecordFromSettings(bool& corrupt) {
    const QString key = QString::fromLatin1(kSessionRecordKey);
    const std::optional<QByteArray> old = m_defaults.data(key);
    if (!old)
        return std::nullopt;
    const QString path = sessionRecordPath();
    std::optional<RestoredSession> fromSettings =
        decodeOrKeepAside(m_recoveryDirectory, *old, QStringLiteral("session"), corrupt);
    // Moved, not copied: the settings file keeps no large value.
    moveSettingsValueToFile(m_defaults, key, QFile::exists(path) ? nullptr : storedBytes(*old),
                            path);
    return fromSettings;
}

std::optional<RestoredSession> SessionStore::loadSavedSession() {
    bool& corrupt = sessionCorruption().savedSessionWasCorrupt;
    const std::optional<RestoredSession> fromFile = readRecordFile(corrupt);
    return newerSession(fromFile, takeRecordFromSettings(corrupt));
}

std::optional<RestoredSession> SessionStore::readRecoverySnapshot() {
    return readStoredSessionCopy(recoverySnapshotPath(), SessionRecordFormat::PrettySorted,
                                 m_recoveryDirectory, QStringLiteral("recovery"),
                                 sessionCorruption().recoverySnapshotWasCorrupt);
}

void SessionStore::backupCorruptData(const QByteArray& data, const QString& label) {
    keepCorruptCopy(m_recoveryDirectory, data, label);
}

void keepCorruptCopy(const QString& recoveryDirectory, const QByteArray& data,
                     const QString& label) {
    const qint64 seconds = QDateTime::currentMSecsSinceEpoch() / 1000;
    const QString path =
        recoveryDirectory + QStringLiteral("/corrupt-%1-%2.json").arg(label).arg(seconds);
    // A courtesy, written by the background writer (it may be asked for on the window's
    // thread); restoring goes on without it, and a failure is told to nobody.
    SessionWriter::shared().submit(path, storedBytes(data), nullptr);
}

} // namespace dunmoss
