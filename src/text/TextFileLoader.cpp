#include "text/TextFileLoader.h"

#include "platform/FileError.h"
#include "platform/FileReading.h"
#include "platform/Localization.h"
#include "platform/PosixFile.h"
#include "text/EncodingDetection.h"
#include "text/SearchableText.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace dunmoss {

namespace {

FileError notRegularFile(const QString& path, mode_t mode) {
    const QString reason = S_ISDIR(mode) ? localizedString(QStringLiteral("text-file.is-folder"))
                                         : localizedString(QStringLiteral("text-file.not-regular"));
    return FileError(FileErrorCode::FileReadUnknown, path, reason);
}

constexpr qint64 kNoLimit = std::numeric_limits<qint64>::max();

// In every encoding but UTF-16 a carriage return is the byte 0x0D and that byte is nothing else
// (no trail byte of GB 18030, Big5 or Shift JIS is below 0x30), so bytes without it give a text
// without one: its line ending is LF and nothing needs normalising, seen in a pass over half as
// many bytes as the text has.
bool textHasNoCarriageReturn(QByteArrayView bytes, TextFileEncoding encoding) {
    return encoding != TextFileEncoding::Utf16 && encoding != TextFileEncoding::Utf16LittleEndian &&
           encoding != TextFileEncoding::Utf16BigEndian &&
           std::memchr(bytes.data(), '\r', size_t(bytes.size())) == nullptr;
}

PlainTextDocument decodeDocument(QByteArrayView bytes, ByteTail tail) {
    std::optional<DecodedTextData> decoded =
        decodeTextData(bytes, tail, LineBreaks::JoinedWhereCheap);
    if (!decoded)
        throw FileError(FileErrorCode::FileReadUnknownStringEncoding);
    if (decoded->joinedLineEnding)
        return PlainTextDocument{std::move(decoded->text), decoded->encoding,
                                 *decoded->joinedLineEnding, decoded->decodedViaFallback};
    if (textHasNoCarriageReturn(bytes, decoded->encoding))
        return PlainTextDocument{std::move(decoded->text), decoded->encoding,
                                 TextLineEnding::LineFeed, decoded->decodedViaFallback};
    return makePlainTextDocument(std::move(decoded->text), decoded->encoding,
                                 decoded->decodedViaFallback);
}

} // namespace

QByteArray trimIncompleteUTF8Tail(QByteArray bytes) {
    if (bytes.isEmpty() || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return bytes;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype lead = size - 1;
    int continuations = 0;
    while (lead >= 0 && continuations < 4 && (data[lead] & 0xC0) == 0x80) {
        --lead;
        ++continuations;
    }
    if (lead < 0 || continuations == 4)
        return bytes;
    const uint8_t byte = data[lead];
    bool cut = false;
    if ((byte & 0xE0) == 0xC0)
        cut = continuations < 1;
    else if ((byte & 0xF0) == 0xE0)
        cut = continuations < 2;
    else if ((byte & 0xF8) == 0xF0)
        cut = continuations < 3;
    if (cut)
        bytes.truncate(lead);
    return bytes;
}

PlainTextDocument makePlainTextDocument(QString rawText, TextFileEncoding encoding,
                                        bool decodedViaFallback) {
    PlainTextDocument document;
    std::tie(document.lineEnding, document.text) = lineEndingAndNormalizedText(std::move(rawText));
    document.encoding = encoding;
    document.decodedViaFallback = decodedViaFallback;
    return document;
}

PlainTextDocument decodeDocumentData(QByteArrayView bytes) {
    return decodeDocument(bytes, ByteTail::Complete);
}

QByteArray fileDataForSaving(const PlainTextDocument& document) {
    return encodeText(textWithLineEnding(document.text, document.lineEnding), document.encoding);
}

namespace {

PlainTextDocument decodeFileBytes(QByteArrayView bytes, std::optional<TextFileEncoding> encoding,
                                  ByteTail tail) {
    if (!encoding)
        return decodeDocument(bytes, tail);
    return makePlainTextDocument(decodeWithEncoding(bytes, *encoding, tail), *encoding, false);
}

// Encodings other than UTF-8 whose characters may take more than one byte.
bool spansBytes(TextFileEncoding encoding) {
    return encoding != TextFileEncoding::Utf8 && encoding != TextFileEncoding::Utf8WithBOM &&
           encoding != TextFileEncoding::IsoLatin1;
}

std::optional<QString> decodeUncut(QByteArrayView bytes, TextFileEncoding encoding) {
    try {
        return decodeWithEncoding(bytes, encoding, ByteTail::MayBeCut);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

} // namespace

PlainTextDocument decodePreviewBytes(const QByteArray& firstBytes,
                                     std::optional<TextFileEncoding> encodingOverride) {
    const QByteArray bytes = trimIncompleteUTF8Tail(firstBytes);
    PlainTextDocument document = decodeFileBytes(bytes, encodingOverride, ByteTail::MayBeCut);
    // In another multi-byte encoding, what the UTF-8 cut took may be a whole character before
    // the cut one (a Shift JIS trail byte looks like a UTF-8 lead): read the bytes as they
    // came, dropping only the character that is really cut.
    if (bytes.size() != firstBytes.size() && spansBytes(document.encoding)) {
        if (auto text = decodeUncut(firstBytes, document.encoding))
            document = makePlainTextDocument(std::move(*text), document.encoding,
                                             document.decodedViaFallback);
    }
    return document;
}

LoadedPlainTextDocument loadTextFile(const QString& path,
                                     std::optional<TextFileEncoding> encodingOverride) {
    const QByteArray nativePath = QFile::encodeName(path);
    // The size decides between whole file and preview. Anything but a regular file is refused
    // here, before it is opened.
    std::optional<qint64> size;
    struct stat attributes {};
    if (::stat(nativePath.constData(), &attributes) == 0) {
        if (!S_ISREG(attributes.st_mode))
            throw notRegularFile(path, attributes.st_mode);
        size = qint64(attributes.st_size);
    }
    // Non-blocking, so that a FIFO put in the file's place since the check cannot hang us; the
    // type is checked again on the open descriptor.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        throw FileError::fromErrno(errno, path, false);
    const UniqueFd file(fd); // closing a file opened for reading changes nothing
    struct stat opened {};
    if (::fstat(fd, &opened) != 0)
        throw FileError::fromErrno(errno, path, false);
    if (!S_ISREG(opened.st_mode))
        throw notRegularFile(path, opened.st_mode);

    LoadedPlainTextDocument loaded;
    loaded.originalByteCount = size;
    loaded.isLargeFilePreview = size && *size > largeFileThreshold;
    // A preview may end inside a character; decoding drops that character rather than failing.
    const QByteArray read =
        loaded.isLargeFilePreview
            ? readFileBytes(fd, largeFilePreviewByteCount, largeFilePreviewByteCount, path)
            : readFileBytes(fd, kNoLimit, opened.st_size, path);
    try {
        loaded.document = loaded.isLargeFilePreview
                              ? decodePreviewBytes(read, encodingOverride)
                              : decodeFileBytes(read, encodingOverride, ByteTail::Complete);
    } catch (const FileError& error) {
        // The decoders know no file; the message names the one that failed.
        throw FileError(error.code(), path, error.systemMessage());
    }
    const PlainTextDocument& document = loaded.document;
    loaded.isBinary = isBinaryContent(
        read, document.decodedViaFallback ? std::nullopt : std::optional(document.encoding));
    return loaded;
}

LoadedPlainTextDocument loadTextFile(const QUrl& url,
                                     std::optional<TextFileEncoding> encodingOverride) {
    if (!url.isLocalFile())
        throw FileError(FileErrorCode::FileReadUnsupportedScheme, url.toString());
    return loadTextFile(url.toLocalFile(), encodingOverride);
}

} // namespace dunmoss
