#pragma once

#include "text/TextEncoding.h"

#include <QString>
#include <optional>

namespace dunmoss {

// A decoded text file: LF-only text, the encoding it was decoded with and its line ending.
struct PlainTextDocument {
    QString text;
    TextFileEncoding encoding = TextFileEncoding::Utf8;
    TextLineEnding lineEnding = TextLineEnding::LineFeed;
    // True only when detection had to fall back to ISO Latin-1.
    bool decodedViaFallback = false;

    friend bool operator==(const PlainTextDocument&, const PlainTextDocument&) = default;
};

// The result of loading one file from disk.
struct LoadedPlainTextDocument {
    PlainTextDocument document;
    bool isLargeFilePreview = false;
    std::optional<qint64> originalByteCount;
    // The bytes are not text (isBinaryContent): the decoded text cannot give them back.
    bool isBinary = false;
};

} // namespace dunmoss
