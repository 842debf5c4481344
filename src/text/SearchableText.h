#pragma once

#include "platform/FileStat.h"
#include "text/EncodingDetection.h"
#include "text/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>
#include <optional>

namespace dunmoss {

// Files above this size are never read by a folder run; a file of exactly this size is.
inline constexpr qint64 folderSearchMaxFileBytes = 10'000'000;
// The bytes looked at for a zero byte before decoding.
inline constexpr qsizetype folderSearchSniffByteCount = 8192;
// The number of hits a folder search stops at.
inline constexpr int folderSearchResultLimit = 500;

// A file screened for a folder run.
struct SearchableFileContent {
    enum class Kind {
        Text,           // decoded without the last-resort fallback
        Binary,         // a zero byte in the sniff window and not UTF-16
        Oversized,      // larger than folderSearchMaxFileBytes
        EncodingFailed, // unreadable, or only the last-resort fallback decodes it
    };

    Kind kind = Kind::EncodingFailed;
    // For text: the decoded text with its line breaks as in the file, and its encoding.
    QString text;
    TextFileEncoding encoding = TextFileEncoding::Utf8;
    // For text: the bytes as read, so that a rewrite can keep their layout (mark, byte order).
    QByteArray bytes;
    // For text read from a file: the open file's status before its bytes were read, so that a
    // later rewrite can confirm the file is still what was read.
    FileStatus status;
};

// Reads and screens one file: only regular files are read (a FIFO is never opened blocking),
// the size is checked before reading and the zero-byte test looks at the first 8,192 bytes.
SearchableFileContent loadSearchableText(const QString& path);
SearchableFileContent loadSearchableText(const QUrl& fileURL);

// The reading half of loadSearchableText: kind Text with only `bytes` set once the file is
// read, or the kind that refused it before decoding.
SearchableFileContent readSearchableBytes(const QString& path);
// The screening half: what loadSearchableText gives for a file of these bytes.
SearchableFileContent screenSearchableBytes(QByteArray bytes);

// The test that calls a file binary: a zero byte among its first folderSearchSniffByteCount
// bytes (none counts after a UTF-16 mark), unless the bytes were read cleanly as UTF-16.
// `cleanEncoding`: what the bytes were decoded with, unless that was the last-resort fallback.
bool isBinaryContent(QByteArrayView bytes, std::optional<TextFileEncoding> cleanEncoding);

} // namespace dunmoss
