#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace dunmoss {

// The file operations of a folder replacement. None of them syncs: each starts writing its
// bytes to the disk at once, and the run syncs whole file systems once per phase
// (syncFileSystemOf), which costs about what one file's sync costs.

// Keeps a regular file's bytes and permissions at a new path: an existing destination is never
// overwritten and a link at the source is never followed. The new path is a second name of the
// file itself when the file has no other name and both are on one file system (a rewrite
// renames a new file over the old name, so the original, now known only by its backup name,
// never changes again), else a copy. Throws FileError; a destination cut short is removed.
void keepFileExclusively(const QString& source, const QString& destination);

// Writes the bytes to a new hidden file in the folder of `path`, with the permissions of the
// regular file at `path`, and returns the new file's path; `device` is set to the file
// system it is on. Throws FileError when `path` is no longer a regular file or the write
// fails (nothing is left behind then).
QString writeBesideFile(const QString& path, const QByteArray& bytes, quint64& device);

// Makes everything written to the file system holding `folder` durable. Throws FileError.
void syncFileSystemOf(const QString& folder);

} // namespace dunmoss
