#pragma once

#include "text/FolderReplacementManifest.h"

#include <QList>
#include <QUrl>
#include <optional>

namespace dunmoss {

// Reads and decodes a backup folder's "manifest.json" (the restore and the panel, which learns
// the backup's root from it, read it the same way). Throws FileError.
FolderReplacementManifest readFolderReplacementManifest(const QUrl& backupFolderURL);

// What a restore did: the files it put back, and those it left as they are.
struct FolderRestoreOutcome {
    int restored = 0;
    // Files that no longer hold what the replacement wrote (saved or changed since), in manifest
    // order: putting the old bytes back would lose that change.
    QList<QUrl> changedSinceReplace;
    // Files with other names (hard links), in manifest order: a rename would split them.
    QList<QUrl> withOtherNames;
    // Files whose owner, group, mode or extended attributes a new file could not keep (another
    // user's file in a folder a group shares), in manifest order; their copies stay in the
    // backup, to be put back by their owner.
    QList<QUrl> attributesNotKept;

    friend bool operator==(const FolderRestoreOutcome&, const FolderRestoreOutcome&) = default;
};

// Puts back every file a folder replacement backed up, from its run folder, into the target
// folder (or, when none is given, the manifest's root, which must then be absolute). Entries
// are taken in manifest order; an entry whose saved copy is gone is skipped, and only real
// files inside the backup are read (see restoreBackedUpFile). Entries are staged a group at a
// time and synced together, then moved into place, so a group costs two syncs rather than one
// per file; a kill leaves each file whole. Returns the number of files restored. The backup is
// only read, so it can be restored again. Runs stopped part-way are settled first
// (settleUnfinishedFolderReplacements), so a stopped run restores exactly what it replaced. The
// restore holds a marker in the backup store while it goes on (FolderRestoreMarker), so that
// the staging files of a restore that is killed are removed by the next folder operation.
//
// Inside the file's hold, right before its rename, an existing file is looked at once more: one
// that no longer holds what the replacement wrote (by the manifest's record of it: identity,
// size and time, or else the bytes' digest; manifests without records skip this), or that has
// other names, is left as it is and listed in the outcome. So is a file whose permissions,
// owner, group or attributes, as found then, a new file cannot take (another user's file in a
// folder shared by a group): the restore has no write in place. A missing file is put back.
//
// Throws: the manifest's FileError (missing, unreadable, malformed); unsafeRelativePath for an
// absolute, empty, "." or ".." entry and fileOutsideRoot, each ending the restore; FileError
// for a failed folder creation, copy or placement, ending it too. An entry whose way passes
// through a symbolic link below the target is refused while the others go on, and at the end
// restoreRefused lists the refused entries. Files restored before an error stay restored; when
// `doneBeforeError` is given, it is set to what was done before the error.
FolderRestoreOutcome
restoreFolderReplacementBackup(const QUrl& backupFolderURL,
                               const std::optional<QUrl>& targetFolderURL = std::nullopt,
                               FolderRestoreOutcome* doneBeforeError = nullptr);

// Throws fileOutsideRoot when the destination's folder is not the target or below it, and
// symlinkInRestorePath when a folder between them is a symbolic link or the resolved folder
// leaves the resolved target. Folders that do not exist yet pass; the target itself may be
// reached through a link.
void ensureNoSymlinkInRestorePath(const QUrl& destinationURL, const QUrl& targetFolderURL);

// Puts one entry back: the saved copy at `savedCopyPath` ("/"-separated, below the backup
// folder) is read without following a link anywhere below the backup folder, so only the
// backup's own files are read; it is copied next to the destination under a hidden staging
// name and moved into place in one step, creating missing folders. Every folder on the way to
// the destination is opened without following links, so a link put there at any moment is
// refused rather than written through; a destination that is itself a link is replaced by the
// file (what it pointed to is left alone). An existing file keeps its permissions, owner, group
// and extended attributes (ACL included), as found right before the move, or is not put back; a
// file put back where none is takes the copy's permissions, owner and group where the system
// allows.
// The staging file never remains (unless the process is killed: this one file is not marked
// for the next operation to remove). Returns false, changing nothing, when the saved copy is
// gone, the file there has other names or its attributes cannot be kept. Throws
// symlinkInRestorePath, fileOutsideRoot or FileError (a saved copy reached through a link, or one
// that is not a regular file, is refused with the not-a-regular-file error).
bool restoreBackedUpFile(const QUrl& backupFolderURL, const QString& savedCopyPath,
                         const QUrl& destinationURL, const QUrl& targetFolderURL);

// The path with symbolic links resolved in the part that exists; the missing rest is appended
// as it stands (cleaned).
QString resolvePathKeepingMissingTail(const QString& path);

} // namespace dunmoss
