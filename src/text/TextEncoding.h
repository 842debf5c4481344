#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace dunmoss {

// The character encodings a text file can be read and written in, in display order.
enum class TextFileEncoding {
    Utf8,
    Utf8WithBOM,
    Utf16,
    Utf16LittleEndian,
    Utf16BigEndian,
    Gb18030,
    Big5,
    ShiftJIS,
    IsoLatin1,
};

// The line break a file uses on disk; in memory every text uses LF.
enum class TextLineEnding {
    LineFeed,
    CarriageReturnLineFeed,
    CarriageReturn,
};

const QList<TextFileEncoding>& allTextFileEncodings();
const QList<TextLineEnding>& allTextLineEndings();

// Persisted identifiers ("utf8", "shift-jis", "crlf", ...).
QString identifier(TextFileEncoding encoding);
QString identifier(TextLineEnding lineEnding);
std::optional<TextFileEncoding> textFileEncodingFromIdentifier(const QString& identifier);
std::optional<TextLineEnding> textLineEndingFromIdentifier(const QString& identifier);

// Display keys, which are also the list identities ("encoding.utf16-le", "line-ending.crlf").
QString displayKey(TextFileEncoding encoding);
QString displayKey(TextLineEnding lineEnding);

// The byte-order mark written for an encoding (empty for most).
QByteArray byteOrderMark(TextFileEncoding encoding);

// The text with every LF replaced by the line ending's characters.
QString textWithLineEnding(const QString& text, TextLineEnding lineEnding);

// Strict encoding: throws FileError(FileWriteInapplicableStringEncoding) when any character
// cannot be represented (including lone surrogates); never substitutes.
QByteArray encodeText(const QString& text, TextFileEncoding encoding);

} // namespace dunmoss
