#pragma once

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/FileWriteHold.h"

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace dunmoss {

// Replaces a local file with new bytes so that a kill or a power cut leaves it whole, old or
// new; the caller holds any access it needs. The write holds the path (AtomicWriteHold) from
// start to end.
//
// A file with one name: the bytes go to a temporary file beside the target, which takes the
// file's owner, group, mode and extended attributes, its ACL among them (carryFileAttributes),
// is synced and then renamed over it (through a symbolic link, onto its target); the folder is
// synced after the rename. A file with other names (hard links) keeps them: a copy of its old
// bytes is made whole beside it (see InPlaceWriteSettle.h), the file is written in place and
// synced, and the copy removed, so a kill leaves the file whole or that copy, which the next
// start or write settles. A file whose owner, group, mode or attributes a new file cannot take
// (another user's file, a file system that refuses an attribute) is written in place the same
// way, so a save never changes who may use it; `produce` then runs a second time. Every write
// first settles a copy an earlier one left; while one stays (its old bytes could not be put
// back), the write fails naming it.
//
// `confirm`, when given, runs inside the hold right before the new bytes take the file's place;
// when it answers false nothing is replaced and the write answers false. A destination that
// exists but is no regular file (a folder, FIFO, socket or device) is refused. A write counts
// only once its syncs returned success. Throws FileError; the file on disk then holds the bytes
// it held (OldBytesPutBack: put back by an in-place write, with new times), except for
// UnconfirmedReplacement and an in-place write whose old bytes could not be put back (its
// message names the copy that holds them). Waits for the disk: never on the window's thread.
bool writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& produce,
                     const std::function<bool()>& confirm = {});
void writeBytesAtomically(const QByteArray& bytes, const QString& path);

// Thrown when only the sync that makes the new bytes durable failed after they took the file's
// place (the folder's after a rename): they are the file now, but the disk did not confirm them.
class UnconfirmedReplacement : public FileError {
public:
    using FileError::FileError;
};

// Thrown when an in-place write failed and the file's old bytes were put back whole: the file
// holds what it held before, but that rewrite moved its date and change time, which `status`
// gives (looked at inside the hold), so the writer's next save does not take its own put-back
// for another program's change.
class OldBytesPutBack : public FileError {
public:
    OldBytesPutBack(const FileError& failure, std::optional<FileStatus> status)
        : FileError(failure), m_status(std::move(status)) {}
    const std::optional<FileStatus>& status() const { return m_status; }

private:
    std::optional<FileStatus> m_status;
};

// Inside `confirm`: whether this write puts its bytes in place after a synced copy, so that
// what its caller notes of it should be synced before the write counts as done.
bool atomicWriteGoesInPlace();

// The file-data sync every atomic write makes (the disk's progress noted, the tests' failure and
// hook below applied): 0, or the errno of the failed sync.
int syncAtomicWriteData(int fd);

// The syncs of an atomic write: the written bytes (the new file, or the copy kept of a file
// written in place), and the folder after a rename or beside the copy.
enum class AtomicWriteSync { FileData, Folder };
// Tests only: that sync of every atomic write fails with `errnoValue` without asking the disk,
// as a failing disk would answer (0: the disk is asked again).
void failAtomicWriteSyncForTesting(AtomicWriteSync sync, int errnoValue);
// Tests only: runs before the file-data sync of every atomic write, on the writing thread, as a
// slow disk would hold it (null: none).
void beforeAtomicWriteSyncForTesting(void (*hook)());
// Tests only: runs after each stretch of new bytes an in-place write puts over the old ones,
// with how many it has written (null: none).
void afterInPlaceBlocksWrittenForTesting(void (*hook)(qint64 written));

} // namespace dunmoss
