#pragma once

#include "platform/FileStat.h"
#include "text/TextEncoding.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QUuid>
#include <optional>

namespace dunmoss {

// What a tab's write is about to put in its file, noted by the writer right before the file is
// replaced, once it found the file as the tab knew it, and kept until the tab's next write or
// until the tab takes its file from disk. A kill after the replace but before the session heard
// of it leaves a stored tab older than its file; with this note the restore still knows the file
// as the tab's own, provided the stored session knew the file as it was before that write.
struct OwnWriteRecord {
    QString path;
    // SHA-256 of the bytes written, and their count.
    QByteArray digest;
    qint64 size = 0;
    TextFileEncoding encoding = TextFileEncoding::Utf8;
    TextLineEnding lineEnding = TextLineEnding::LineFeed;
    // Seconds since 1970 when the save or autosave took the tab's text: a stored session built
    // before then holds an older draft than the file.
    double takenAt = 0;
    // The file right before the write replaced it; nothing in a note of an older version, or
    // where there was no file: such a note is not trusted.
    std::optional<FileStatus> fileBefore = {};

    friend bool operator==(const OwnWriteRecord&, const OwnWriteRecord&) = default;
};

QByteArray ownWriteDigest(const QByteArray& bytes);

// Seconds since 1970 in whole milliseconds, strictly increasing in this process: a session
// built and a text taken for a write compare in the order they happened, also within one
// millisecond.
double orderedSecondsSinceEpoch();

// The folder the notes live in, inside a recovery folder.
QString ownWriteRecordFolder(const QString& recoveryDirectory);

// Replaces the tab's note, renamed into place; synced only when `durable` (a write in place
// counts as done only with what it depends on on disk), else a note lost to a power cut only
// brings back the question it would have spared. False when it could not be written or synced
// (the write goes on).
bool storeOwnWriteRecord(const QString& folder, const QUuid& tabID, const OwnWriteRecord& record,
                         bool durable = false);
// Removes the tab's note, if any.
void removeOwnWriteRecord(const QString& folder, const QUuid& tabID);
// Nothing when missing or unreadable.
std::optional<OwnWriteRecord> readOwnWriteRecord(const QString& folder, const QUuid& tabID);
// Removes the notes of tabs not in `kept` that were taken before `before`: those tabs were
// closed before that session was stored.
void pruneOwnWriteRecords(const QString& folder, const QSet<QUuid>& kept, double before);

} // namespace dunmoss
