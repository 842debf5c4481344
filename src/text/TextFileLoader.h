#pragma once

#include "text/PlainTextDocument.h"
#include "text/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>
#include <optional>

namespace dunmoss {

// A file larger than this opens as a read-only preview; a file of exactly this size is read whole.
inline constexpr qint64 largeFileThreshold = 5'000'000;
// The bytes read from the start of a previewed file.
inline constexpr qint64 largeFilePreviewByteCount = 2'000'000;

// Reads a text file: the whole file, or for a file above largeFileThreshold a preview of its first
// largeFilePreviewByteCount bytes; decodes with `encodingOverride` or by detection, records the
// line ending and normalises line breaks to LF. Bytes that are not text (isBinaryContent) are
// marked as such.
//
// Only regular files are read: a folder, FIFO, socket or device is refused before any read (a
// FIFO is never opened blocking). Throws FileError: the file system's read error (via errno),
// FileReadInapplicableStringEncoding when the override cannot decode the bytes, and
// FileReadUnknownStringEncoding when detection finds nothing.
LoadedPlainTextDocument loadTextFile(const QString& path,
                                     std::optional<TextFileEncoding> encodingOverride = {});
// The same for a file URL; a URL that names no local file fails with FileReadUnsupportedScheme.
LoadedPlainTextDocument loadTextFile(const QUrl& url,
                                     std::optional<TextFileEncoding> encodingOverride = {});

// The preview's cut: drops a UTF-8 sequence cut off at the end (never for bytes that start with
// a UTF-16 mark).
QByteArray trimIncompleteUTF8Tail(QByteArray bytes);

// The first bytes of a previewed file decoded (by detection, or with the override): cut with
// trimIncompleteUTF8Tail, and in any other multi-byte encoding with only the character that
// the end of the bytes cuts dropped. Throws like loadTextFile's decoding.
PlainTextDocument decodePreviewBytes(const QByteArray& firstBytes,
                                     std::optional<TextFileEncoding> encodingOverride = {});

// A document from raw decoded text: the line ending is detected, then line breaks become LF.
PlainTextDocument makePlainTextDocument(QString rawText, TextFileEncoding encoding,
                                        bool decodedViaFallback);

// A whole file's bytes decoded by detection, with no size limit.
// Throws FileError(FileReadUnknownStringEncoding) when detection finds nothing.
PlainTextDocument decodeDocumentData(QByteArrayView bytes);

// The bytes every writer of a document stores: LF turned into the document's line ending, then
// encoded without loss. Throws FileError(FileWriteInapplicableStringEncoding); no partial bytes.
QByteArray fileDataForSaving(const PlainTextDocument& document);

} // namespace dunmoss
