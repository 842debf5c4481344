#include "text/SearchableText.h"

#include "platform/LargeBuffers.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace dunmoss {

namespace {

using Kind = SearchableFileContent::Kind;

SearchableFileContent withKind(Kind kind) {
    SearchableFileContent content;
    content.kind = kind;
    return content;
}

// Files up to this size are read into a buffer each thread keeps while nothing else holds it:
// fresh memory for every file costs page faults and, on many threads at once, the process-wide
// lock that mapping and unmapping take. Larger files get a buffer of their own.
constexpr qint64 kKeptBufferBytes = 1 << 20;

// The whole file, or nothing on a read error. `limit + 1` bytes at most, so a file that grew
// past the limit since its size was read is still recognised as too large.
std::optional<QByteArray> readAll(int fd, qint64 expected, qint64 limit) {
    const qint64 first = qBound<qint64>(0, expected + 1, limit + 1);
    thread_local QByteArray kept;
    QByteArray own;
    const bool keeps = first <= kKeptBufferBytes;
    if (keeps) {
        if (!kept.isDetached())
            kept = QByteArray(); // the last file's bytes are still in use
        if (kept.capacity() < kKeptBufferBytes)
            kept.reserve(kKeptBufferBytes);
        kept.resize(first);
    } else {
        own = QByteArray(first, Qt::Uninitialized);
        adviseHugePages(own.data(), size_t(own.size()));
    }
    QByteArray& bytes = keeps ? kept : own;
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit)
                break;
            bytes.resize(qMin<qint64>(limit + 1, qMax<qint64>(filled * 2, 65536)));
        }
        const ssize_t got = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    if (keeps && kept.capacity() > kKeptBufferBytes)
        return std::exchange(kept, QByteArray()); // it grew while being read
    return bytes;
}

bool isUtf16(TextFileEncoding encoding) {
    return encoding == TextFileEncoding::Utf16 || encoding == TextFileEncoding::Utf16LittleEndian ||
           encoding == TextFileEncoding::Utf16BigEndian;
}

} // namespace

SearchableFileContent readSearchableBytes(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return withKind(Kind::EncodingFailed);
    struct stat attributes {};
    std::optional<QByteArray> read;
    const bool regular = ::fstat(fd, &attributes) == 0 && S_ISREG(attributes.st_mode);
    if (regular && attributes.st_size <= folderSearchMaxFileBytes)
        read = readAll(fd, attributes.st_size, folderSearchMaxFileBytes);
    ::close(fd);
    if (regular && attributes.st_size > folderSearchMaxFileBytes)
        return withKind(Kind::Oversized);
    if (!read)
        return withKind(Kind::EncodingFailed);
    if (read->size() > folderSearchMaxFileBytes)
        return withKind(Kind::Oversized);
    SearchableFileContent content;
    content.kind = Kind::Text;
    content.bytes = std::move(*read);
    content.status = fileStatusOf(attributes);
    return content;
}

bool isBinaryContent(QByteArrayView bytes, std::optional<TextFileEncoding> cleanEncoding) {
    const QByteArrayView window =
        bytes.first(std::min<qsizetype>(bytes.size(), folderSearchSniffByteCount));
    const bool marked = window.startsWith("\xFF\xFE") || window.startsWith("\xFE\xFF");
    const bool hasZero = !marked && std::memchr(window.data(), 0, size_t(window.size()));
    return hasZero && !(cleanEncoding && isUtf16(*cleanEncoding));
}

SearchableFileContent screenSearchableBytes(QByteArray bytes) {
    std::optional<DecodedTextData> decoded = decodeTextData(bytes);
    const bool decodedCleanly = decoded && !decoded->decodedViaFallback;
    if (isBinaryContent(bytes, decodedCleanly ? std::optional(decoded->encoding) : std::nullopt))
        return withKind(Kind::Binary);
    if (!decodedCleanly)
        return withKind(Kind::EncodingFailed);
    SearchableFileContent content;
    content.kind = Kind::Text;
    content.text = std::move(decoded->text);
    content.encoding = decoded->encoding;
    content.bytes = std::move(bytes);
    return content;
}

SearchableFileContent loadSearchableText(const QString& path) {
    SearchableFileContent read = readSearchableBytes(path);
    if (read.kind != Kind::Text)
        return read;
    SearchableFileContent screened = screenSearchableBytes(std::move(read.bytes));
    screened.status = read.status;
    return screened;
}

SearchableFileContent loadSearchableText(const QUrl& fileURL) {
    if (!fileURL.isLocalFile())
        return withKind(Kind::EncodingFailed);
    return loadSearchableText(fileURL.toLocalFile());
}

} // namespace dunmoss
