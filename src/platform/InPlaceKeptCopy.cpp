#include "platform/InPlaceKeptCopy.h"

#include "platform/AtomicFileWrite.h"
#include "platform/FileError.h"
#include "platform/PosixFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

constexpr QByteArrayView kMagic("DUNMOSS KEPT 1\n\0", 16);
// Far more than any record holds: a guard against reading a damaged one.
constexpr quint32 kMaxRecordLength = 1u << 30;

QString copyPathBeside(const QString& target, QLatin1StringView kind) {
    const QFileInfo info(target);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".dunmoss-") +
           kind + QLatin1Char('-');
}

QByteArray sha256(QByteArrayView bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// Exactly `length` bytes at `offset`, fewer only at the file's end; nothing on a read error.
std::optional<QByteArray> readAt(int fd, qint64 offset, qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size_t(length - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

// Whether the file from `from` to `to` holds what the copy holds there.
std::optional<bool> sameAsOld(int file, int kept, qint64 oldAt, qint64 from, qint64 to) {
    constexpr qint64 chunk = 1 << 20;
    for (qint64 at = from; at < to; at += chunk) {
        const qint64 length = std::min(chunk, to - at);
        const std::optional<QByteArray> mine = readAt(file, at, length);
        const std::optional<QByteArray> old = readAt(kept, oldAt + at, length);
        if (!mine || !old)
            return std::nullopt;
        if (*mine != *old)
            return false;
    }
    return true;
}

std::optional<std::pair<qint64, quint32>> birthOf(int fd) {
    struct statx born {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &born) != 0 || !(born.stx_mask & STATX_BTIME))
        return std::nullopt;
    return std::pair<qint64, quint32>(born.stx_btime.tv_sec, born.stx_btime.tv_nsec);
}

} // namespace

QString inPlaceKeptCopyPrefix(const QString& canonicalTarget) {
    return copyPathBeside(canonicalTarget, QLatin1StringView("kept"));
}

QString inPlaceCopyInTheMakingPrefix(const QString& canonicalTarget) {
    return copyPathBeside(canonicalTarget, QLatin1StringView("keeping"));
}

QString inPlaceKeptCopyPath(const QString& canonicalTarget, quint64 inode) {
    return inPlaceKeptCopyPrefix(canonicalTarget) + QString::number(inode, 16);
}

QString inPlaceCopyInTheMakingPath(const QString& canonicalTarget, quint64 inode) {
    return inPlaceCopyInTheMakingPrefix(canonicalTarget) + QString::number(inode, 16);
}

std::optional<KeptCopyRecord> keptCopyRecordFor(int file, const QByteArray& newBytes) {
    struct stat attributes {};
    if (::fstat(file, &attributes) != 0)
        return std::nullopt;
    KeptCopyRecord record;
    record.device = attributes.st_dev;
    record.inode = attributes.st_ino;
    record.born = birthOf(file);
    record.oldSize = attributes.st_size;
    record.newSize = newBytes.size();
    for (qint64 at = 0; at < newBytes.size(); at += kInPlaceBlockSize)
        record.newBlockDigests.append(sha256(QByteArrayView(newBytes).sliced(
            at, std::min(kInPlaceBlockSize, newBytes.size() - at))));
    return record;
}

QByteArray encodeKeptCopyRecord(const KeptCopyRecord& record) {
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << quint64(record.device) << quint64(record.inode) << bool(record.born)
            << qint64(record.born ? record.born->first : 0)
            << quint32(record.born ? record.born->second : 0) << qint64(record.oldSize)
            << qint64(record.newSize) << quint32(record.newBlockDigests.size());
        for (const QByteArray& digest : record.newBlockDigests)
            out.writeRawData(digest.constData(), int(digest.size()));
    }
    QByteArray head(kMagic.data(), kMagic.size());
    QDataStream length(&head, QIODevice::Append);
    length << quint32(body.size());
    return head + body;
}

std::optional<std::pair<KeptCopyRecord, qint64>> readKeptCopyRecord(int kept) {
    const std::optional<QByteArray> head = readAt(kept, 0, kMagic.size() + 4);
    if (!head || head->size() != kMagic.size() + 4 || !head->startsWith(kMagic))
        return std::nullopt;
    QDataStream lengthIn(head->sliced(kMagic.size()));
    quint32 length = 0;
    lengthIn >> length;
    struct stat attributes {};
    // A damaged length is refused before anything is read for it.
    if (length > kMaxRecordLength || ::fstat(kept, &attributes) != 0 ||
        qint64(length) > attributes.st_size - head->size())
        return std::nullopt;
    const std::optional<QByteArray> body = readAt(kept, head->size(), length);
    if (!body || body->size() != qsizetype(length))
        return std::nullopt;
    QDataStream in(*body);
    in.setVersion(QDataStream::Qt_6_4);
    KeptCopyRecord record;
    bool born = false;
    qint64 bornSeconds = 0;
    quint32 bornNanoseconds = 0;
    quint32 blocks = 0;
    in >> record.device >> record.inode >> born >> bornSeconds >> bornNanoseconds >>
        record.oldSize >> record.newSize >> blocks;
    if (in.status() != QDataStream::Ok || record.oldSize < 0 || record.newSize < 0 ||
        qint64(blocks) * 32 > qint64(length) ||
        qint64(blocks) !=
            record.newSize / kInPlaceBlockSize + (record.newSize % kInPlaceBlockSize != 0 ? 1 : 0))
        return std::nullopt;
    if (born)
        record.born.emplace(bornSeconds, bornNanoseconds);
    for (quint32 i = 0; i < blocks; ++i) {
        QByteArray digest(32, Qt::Uninitialized);
        if (in.readRawData(digest.data(), 32) != 32)
            return std::nullopt;
        record.newBlockDigests.append(digest);
    }
    const qint64 oldAt = head->size() + qint64(length);
    if (attributes.st_size != oldAt + record.oldSize)
        return std::nullopt;
    return std::pair(record, oldAt);
}

bool isSameFileLife(const KeptCopyRecord& record, int file) {
    struct stat attributes {};
    if (::fstat(file, &attributes) != 0 || attributes.st_dev != record.device ||
        attributes.st_ino != record.inode)
        return false;
    return birthOf(file) == record.born;
}

std::optional<InPlaceWrittenState> judgeInPlaceWrite(int file, int kept, qint64 oldAt,
                                                     const KeptCopyRecord& record) {
    struct stat attributes {};
    if (::fstat(file, &attributes) != 0)
        return std::nullopt;
    const qint64 size = attributes.st_size;
    if (size == record.oldSize) {
        const std::optional<bool> old = sameAsOld(file, kept, oldAt, 0, size);
        if (!old)
            return std::nullopt;
        if (*old)
            return InPlaceWrittenState::OldBytes;
    }
    // How far the file holds the new bytes, in whole blocks (the last one as long as it is).
    qint64 written = 0;
    for (const QByteArray& digest : record.newBlockDigests) {
        const qint64 length = std::min(kInPlaceBlockSize, record.newSize - written);
        if (written + length > size)
            break;
        const std::optional<QByteArray> block = readAt(file, written, length);
        if (!block)
            return std::nullopt;
        if (sha256(*block) != digest)
            break;
        written += length;
    }
    if (written == record.newSize && size == record.newSize)
        return InPlaceWrittenState::NewBytes;
    // Cut short at `written`: past it the old bytes, as long as the old file was; a write that
    // grew the file leaves nothing after what it wrote.
    if (size != std::max(written, record.oldSize))
        return InPlaceWrittenState::Other;
    const std::optional<bool> oldRest = sameAsOld(file, kept, oldAt, written, size);
    if (!oldRest)
        return std::nullopt;
    return *oldRest ? InPlaceWrittenState::PartlyWritten : InPlaceWrittenState::Other;
}

bool putKeptBytesBack(int kept, qint64 oldAt, int file, const QString& path) {
    try {
        struct stat source {};
        if (::fstat(kept, &source) != 0 || ::lseek(kept, oldAt, SEEK_SET) != oldAt ||
            ::lseek(file, 0, SEEK_SET) != 0)
            return false;
        copyFileContent(kept, file, path);
        return ::ftruncate(file, source.st_size - oldAt) == 0 && syncAtomicWriteData(file) == 0;
    } catch (const FileError&) {
        return false;
    }
}

} // namespace dunmoss
