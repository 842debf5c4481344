#include "platform/FileReading.h"

#include "platform/FileError.h"
#include "platform/IdleThreadWork.h"
#include "platform/LargeBuffers.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace dunmoss {

namespace {

// Below this one thread reads about as fast as several.
constexpr qint64 kParallelFromBytes = qint64(4) << 20;

// Reads [at, end) of the file into `data + at`; the bytes read, fewer where the file ends
// first, or -errno.
qint64 readRange(int fd, char* data, qint64 at, qint64 end) {
    const qint64 begin = at;
    while (at < end) {
        const ssize_t got = ::pread(fd, data + at, size_t(end - at), off_t(at));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -qint64(errno);
        }
        if (got == 0)
            break;
        at += got;
    }
    return at - begin;
}

qint64 defaultPieceBytes(qint64 expected) {
    if (expected < kParallelFromBytes)
        return 0;
    const int width = idleThreadWorkWidth();
    if (width < 2)
        return 0;
    // A few pieces per thread: a thread that starts late or loses its core holds up less.
    return qMax(kParallelFromBytes / 4, expected / (qint64(width) * 4));
}

} // namespace

QByteArray readFileBytes(int fd, qint64 limit, qint64 expected, const QString& path) {
    return readFileBytesInPieces(fd, limit, expected, path, defaultPieceBytes(expected));
}

QByteArray readFileBytesInPieces(int fd, qint64 limit, qint64 expected, const QString& path,
                                 qint64 pieceBytes) {
    // One byte of room beyond the expected size lets the read that meets the end of the file
    // happen without growing the buffer.
    QByteArray bytes(qBound<qint64>(0, expected < limit ? expected + 1 : limit, limit),
                     Qt::Uninitialized);
    adviseHugePages(bytes.data(), size_t(bytes.size()));
    qint64 filled = 0;
    // The expected bytes in pieces; what a piece finds short (the file shrank) ends the text
    // there, and anything after the expected size is read on in order below.
    const qint64 inPieces = qMin(expected, qint64(bytes.size()));
    if (pieceBytes > 0 && inPieces > pieceBytes) {
        const int count = int((inPieces + pieceBytes - 1) / pieceBytes);
        std::vector<qint64> got(size_t(count), 0);
        runOnIdleThreads(count, [&](int k) {
            const qint64 begin = inPieces * k / count;
            const qint64 end = inPieces * (k + 1) / count;
            got[size_t(k)] = readRange(fd, bytes.data(), begin, end);
        });
        for (int k = 0; k < count; ++k) {
            if (got[size_t(k)] < 0)
                throw FileError::fromErrno(int(-got[size_t(k)]), path, false);
        }
        for (int k = 0; k < count; ++k) {
            const qint64 length = inPieces * (k + 1) / count - inPieces * k / count;
            filled += got[size_t(k)];
            if (got[size_t(k)] < length) {
                bytes.truncate(filled);
                return bytes;
            }
        }
    }
    for (;;) {
        if (filled == bytes.size()) {
            if (filled >= limit)
                break;
            // The file is longer than it was said to be: keep reading.
            bytes.resize(qMin<qint64>(limit, qMax<qint64>(filled * 2, 65536)));
        }
        const qint64 got = readRange(fd, bytes.data(), filled, bytes.size());
        if (got < 0)
            throw FileError::fromErrno(int(-got), path, false);
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

} // namespace dunmoss
