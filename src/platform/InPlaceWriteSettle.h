#pragma once

#include "platform/InPlaceKeptCopy.h"

#include <QString>
#include <QStringList>

namespace dunmoss {

enum class InPlaceWriteSettle {
    // No copy of ours stands beside the file (a half-made one is removed).
    Nothing,
    // The file holds the old bytes, or exactly the bytes the write meant to put there: it
    // keeps them and the copy went.
    KeptWrittenBytes,
    // The write had stopped part-way: the old bytes are back in place, synced, and the copy went.
    PutOldBytesBack,
    // The file holds bytes the write cannot have left (another program changed it since): they
    // stay, and the copy of the old bytes now stands where the person sees it.
    CopyShown,
    // A copy stays hidden: putting it back or showing it failed, or a writer that is still
    // alive holds it.
    CopyLeft,
};

struct InPlaceWriteSettlement {
    InPlaceWriteSettle outcome = InPlaceWriteSettle::Nothing;
    // With CopyShown, the copy of this file's old bytes under its shown name; with CopyLeft,
    // the hidden copy that stays.
    QString copy;
    // Copies of a file that is gone from the name or is another file now (replaced, or its
    // number reused): never put into any file, shown under a name of their own, told once.
    QStringList strayCopies;
};

// Settles in-place writes a kill interrupted, holding the file's write hold: a copy beside the
// name, or written through another name of the same file, is put back only over the writer's
// own partial write (see judgeInPlaceWrite); the file is never changed otherwise. A copy not
// made by us or the file's owner, or with other names, is not ours and left alone. Waits for
// the disk: never on the window's thread.
InPlaceWriteSettlement settleInterruptedInPlaceWrite(const QString& path);

// Where a copy of `file`'s old bytes is made known to reads through the file's other names,
// kept while the write runs (see writeAtomically): a small file naming the copy, in the user's
// data folder.
void noteInPlaceCopy(int file, const QString& keptCopy);
void forgetInPlaceCopy(int file);

} // namespace dunmoss
