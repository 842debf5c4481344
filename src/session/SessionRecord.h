#pragma once

#include "text/TextEncoding.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace dunmoss {

// One selection range of a stored tab, in UTF-16 units.
struct SessionRange {
    qint64 location = 0;
    qint64 length = 0;
    friend bool operator==(const SessionRange&, const SessionRange&) = default;
};

// One tab of the stored session. Optional members may be missing from older records; the
// writer always gives the ones that have a value.
struct SessionTab {
    QUuid id;
    std::optional<QString> filePath;
    std::optional<QByteArray> fileBookmark;
    std::optional<QString> languageKey;
    QString draftText;
    QString savedSnapshot;
    qint64 selectedLocation = 0;
    qint64 selectedLength = 0;
    std::optional<QList<SessionRange>> selectedRanges;
    QString encodingKey;
    QString lineEndingKey;
    std::optional<QString> savedEncodingKey;
    std::optional<QString> savedLineEndingKey;
    std::optional<QList<qint64>> bookmarkedLines;
    std::optional<double> lastKnownModificationTimestamp;
    std::optional<qint64> lastKnownFileSize;
    // The file's device and inode as "device:inode" in decimal (JSON numbers lose 64-bit ones),
    // and its change time.
    std::optional<QString> lastKnownFileIdentity;
    std::optional<double> lastKnownChangeTimestamp;
    std::optional<bool> hasExternalChanges;
    std::optional<bool> isReadOnly;
    std::optional<bool> isLargeFilePreview;
    std::optional<qint64> originalByteCount;
    friend bool operator==(const SessionTab&, const SessionTab&) = default;
};

// The stored session of a window: kept in the settings database and as the recovery snapshot.
struct RestoredSession {
    static constexpr qint64 kSchemaVersion = 3;
    // Never examined when reading.
    std::optional<qint64> schemaVersion;
    QUuid activeTabID;
    double fontSize = 14;
    // Seconds since 1970 when the record was built.
    std::optional<double> savedAt;
    QList<SessionTab> tabs;
    friend bool operator==(const RestoredSession&, const RestoredSession&) = default;
};

enum class SessionRecordFormat {
    // One line, for the settings database.
    Compact,
    // Indented with keys in sorted order, for the recovery file.
    PrettySorted,
};

QByteArray encodeSessionRecord(const RestoredSession& session, SessionRecordFormat format);
// The same bytes written into the device, the tabs' texts escaped in pieces so that no whole
// copy of them is made. False when the device refused a write.
bool writeSessionRecord(const RestoredSession& session, SessionRecordFormat format,
                        QIODevice& device);

enum class SessionText { Draft, Saved };
// Writes one text of the tab at the index, escaped as a JSON string's content; false when the
// device refused a write.
using SessionTextWriter = std::function<bool(QIODevice& device, qsizetype tab, SessionText text)>;
// The same bytes, with each text written by `writeText` in its place; the record's own texts
// are not read.
bool writeSessionRecord(const RestoredSession& session, SessionRecordFormat format,
                        QIODevice& device, const SessionTextWriter& writeText);

// Equal but for `savedAt`; texts sharing one buffer are equal without being read.
bool sameSessionContent(const RestoredSession& a, const RestoredSession& b);

// Strict: a required key missing or of the wrong type makes the whole record undecodable
// (JsonDecodeError); unknown keys are ignored.
RestoredSession decodeSessionRecord(const QByteArray& data);

// Stored keys back to values: any key not in the table (compared exactly) reads as UTF-8, and
// any line-ending key other than "crlf" or "cr" as LF.
TextFileEncoding textFileEncodingForKey(const QString& key);
TextLineEnding textLineEndingForKey(const QString& key);

} // namespace dunmoss
