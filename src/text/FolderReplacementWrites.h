#pragma once

#include "platform/FileStat.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <variant>

namespace dunmoss {

// The file operations of a folder replacement. None of them syncs: each starts writing its
// bytes to the disk at once, and the run syncs whole file systems once per phase
// (syncFileSystemOf), which costs about what one file's sync costs.

// Keeps a regular file's bytes, permissions, owner and group at a new path: an existing destination
// is never overwritten and a link at the source is never followed. The new path is a second name of
// the file itself when the file has no other name and both are on one file system (a rewrite
// renames a new file over the old name, so the original, now known only by its backup name,
// never changes again), else a copy. Throws FileError; a destination cut short is removed.
void keepFileExclusively(const QString& source, const QString& destination);

// A new content written beside its file, waiting to be renamed over it.
struct StagedFile {
    QString path;
    FileIdentity identity;
    // As written: what the file holds once renamed (a rename changes neither).
    FileStatus written;
};

// The hidden temporary file a run named by `runTag` writes a file's new content to:
// "." + the file's name + ".dunmoss-" + the tag, in the file's folder.
QString temporaryPathBeside(const QString& path, const QString& runTag);

// Whether the file at `path` (a link not followed) is still the regular file that was read:
// the same file, size and modification time.
bool isStillAsRead(const QString& path, const FileStatus& read);

// Why a file's new content was not written beside it; the file is left as it is.
enum class LeftAsItIs {
    ChangedSinceRead,  // no longer the regular file that was read
    AttributesNotKept, // a new file cannot take its owner, group, mode or attributes
};

// Writes the bytes to the run's temporary file beside `path`, with the owner, group, mode and
// extended attributes (the ACL among them) of the file, and returns it. Nothing is left written
// when `path` is no longer the regular file that was read, or when the new file cannot take all
// that the file has (see carryFileAttributes): the run has no write in place. Throws FileError
// when the write fails or the temporary file exists already.
std::variant<StagedFile, LeftAsItIs> writeBesideFile(const QString& path, const QByteArray& bytes,
                                                     const FileStatus& read, const QString& runTag);

// Makes everything written to the file system holding `folder` durable. Throws FileError.
void syncFileSystemOf(const QString& folder);

} // namespace dunmoss
