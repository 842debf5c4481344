#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace dunmoss {

// A file written in place (see writeAtomically) has a copy of its old bytes beside it while its
// bytes are overwritten. The copy is made under a temporary name and renamed to the kept name
// once it is whole and synced, so a copy under the kept name always holds the old file; both
// names carry the file's inode, so a copy belongs to that file only. The writer holds a lock on
// the copy while it writes.
QString inPlaceKeptCopyPath(const QString& canonicalTarget, quint64 inode);
QString inPlaceCopyInTheMakingPath(const QString& canonicalTarget, quint64 inode);

enum class InPlaceWriteSettle {
    // No copy of ours stands beside the file (a half-made one is removed).
    Nothing,
    // The file holds the bytes the write meant to put there: the copy went.
    KeptWrittenBytes,
    // The file holds the old bytes again, synced: the copy went.
    PutOldBytesBack,
    // A copy stays: putting it back failed, or a writer that is still alive holds it.
    CopyLeft,
};

// Settles an in-place write a kill interrupted, holding the file's write hold: a file that holds
// exactly the bytes whose SHA-256 is `notedDigest` keeps them; any other gets the copy's bytes
// back in place (so every name of it sees them), synced. Without a note the old bytes go back,
// as the write never confirmed. A copy not made by us or the file's owner, or with other names,
// is not ours and left alone. Waits for the disk: never on the window's thread.
InPlaceWriteSettle settleInterruptedInPlaceWrite(const QString& path,
                                                 const std::optional<QByteArray>& notedDigest);

} // namespace dunmoss
