#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace dunmoss {

// A file written in place has a copy of its old bytes beside it while they are overwritten
// (see writeAtomically). The copy starts with a record of the write: which file's life it
// belongs to (device, inode and birth time, as a number alone is reused) and the digest of
// each block of the bytes the write puts there, so that a settle can tell the writer's own
// states of the file (old, new, or new up to a block and old after it) from anyone else's.
// The copy is made under a temporary name and renamed to the kept name once it is whole and
// synced; both names carry the inode. The writer holds a lock on the copy while it writes.
QString inPlaceKeptCopyPath(const QString& canonicalTarget, quint64 inode);
QString inPlaceCopyInTheMakingPath(const QString& canonicalTarget, quint64 inode);
// The start of the names above, for every inode.
QString inPlaceKeptCopyPrefix(const QString& canonicalTarget);
QString inPlaceCopyInTheMakingPrefix(const QString& canonicalTarget);

// The in-place writer puts its bytes over the old ones in whole blocks of this size from the
// start, so a kill leaves the new bytes up to a block edge (the kernel stops a write between
// pages) or all of them.
inline constexpr qint64 kInPlaceBlockSize = 4096;

struct KeptCopyRecord {
    quint64 device = 0;
    quint64 inode = 0;
    // Seconds and nanoseconds; nothing where the file system keeps no birth time.
    std::optional<std::pair<qint64, quint32>> born;
    qint64 oldSize = 0;
    qint64 newSize = 0;
    // The SHA-256 of each block of the new bytes, the last one possibly short.
    QList<QByteArray> newBlockDigests;
};

// The record for writing `newBytes` over the open file.
std::optional<KeptCopyRecord> keptCopyRecordFor(int file, const QByteArray& newBytes);
// The record as it opens a copy; the old bytes follow it.
QByteArray encodeKeptCopyRecord(const KeptCopyRecord& record);
// The record a copy opens with and where its old bytes start; nothing for a copy without one.
std::optional<std::pair<KeptCopyRecord, qint64>> readKeptCopyRecord(int kept);
// Whether the open file is the one whose life the record names.
bool isSameFileLife(const KeptCopyRecord& record, int file);

enum class InPlaceWrittenState {
    // The old bytes, whole.
    OldBytes,
    // Exactly the bytes the write meant to put there.
    NewBytes,
    // The new bytes up to a block edge, the rest of the old ones after them: the write stopped.
    PartlyWritten,
    // Anything else: not the write's doing.
    Other,
};
// What the file holds, judged against the record and the old bytes at `oldAt` in the copy;
// nothing when either could not be read.
std::optional<InPlaceWrittenState> judgeInPlaceWrite(int file, int kept, qint64 oldAt,
                                                     const KeptCopyRecord& record);

// Makes the file hold the copy's old bytes again (every name of it sees them) and syncs them,
// as the syncs of an atomic write go (see AtomicFileWrite.h); false when anything failed.
bool putKeptBytesBack(int kept, qint64 oldAt, int file, const QString& path);

} // namespace dunmoss
