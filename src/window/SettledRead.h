#pragma once

#include "platform/FileStat.h"

#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// What settling a file's interrupted in-place save, right before reading it, has to tell the
// person who reads it.
struct SettledRead {
    // The copy of the file's old bytes now shown beside it, the file's bytes being someone
    // else's; and the file as the settle found it, which a put-back must still find.
    QString shownCopy;
    std::optional<FileStatus> fileFound;
    // Copies of a file that is gone from the name or is another file now.
    QStringList strayCopies;
};

// Settles the file (see settleInterruptedInPlaceWrite) before it is read through `path`, any of
// its names. Throws a FileError when a copy stays hidden (a writer still at work, or its old
// bytes could not be put back): the file may be torn and is not read. Waits for the disk:
// never on the window's thread.
SettledRead settleBeforeReading(const QString& path);

// Tells the tab's window what the settle did: a notice on the message bar, offering to put a
// shown copy back. Nothing when there is nothing to tell.
void tellSettledRead(EditorWindowModel& model, const QUuid& tabID, const SettledRead& settled);

// Puts a shown copy's bytes into the file through `path` as a save would (every name keeps
// seeing them), when the file is still as the settle found it, then removes the copy. Throws a
// FileError otherwise. Waits for the disk: never on the window's thread.
void putShownCopyBack(const QString& path, const QString& copy, const FileStatus& found);

} // namespace dunmoss
