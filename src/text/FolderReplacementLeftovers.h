#pragma once

#include "platform/PosixFile.h"

#include <QSet>
#include <QString>
#include <QUrl>

namespace dunmoss {

// What a folder replacement or restore that was stopped (killed, or its machine lost) leaves
// behind, and how the next folder operation puts it in order.
//
// While a run goes on, its folder holds "unfinished": the searched folder's path, locked by
// the run for as long as it lives, removed once the run's last manifest is written. A run whose
// marker is there but no longer locked was stopped: its hidden temporary files (named after the
// run, see temporaryPathBeside) may still lie beside the user's files, and its manifest may
// still list files whose renames were pending.

// Creates the run folder's marker, locked, and returns it. Throws FileError.
UniqueFd markFolderReplaceRunUnfinished(const QUrl& runFolderURL, const QUrl& rootURL);

// Removes the marker of a run whose last manifest is written, and lets it go.
void markFolderReplaceRunFinished(UniqueFd& marker, const QUrl& runFolderURL);

// The tag that names a run's temporary files: the eight characters that end its folder's name.
QString folderReplaceRunTag(const QUrl& runFolderURL);

// Settles every run in the backup store that was stopped before it finished: removes its
// temporary files beside the files it backed up (only a regular file with exactly the run's
// temporary name and no other name), counts a pending file as replaced only while the file is
// still the new content the run wrote, rewrites the manifest with exactly the files replaced,
// marked unfinished, and removes the marker. Settles every stopped restore too (see
// FolderRestoreMarker): removes the staging files it left, by the same rule, and its marker.
// Runs and restores still going (their marker locked) are left alone. Never throws: one that
// cannot be settled is tried again next time. Returns the number of runs and restores settled.
int settleUnfinishedFolderReplacements();

// A restore's hidden staging name: ".UUID.dunmoss-restore", the UUID made new each time and
// beginning with the restore's tag when one is given.
QString folderRestoreStagingName(const QString& tag = {});

// While a restore goes on, the backup store holds ".restoring-TAG", locked by the restore for
// as long as it lives, listing each folder it stages files in before the first is made there.
// Its staging files begin with its tag, so a stopped restore's are told from those of any other.
// A restore that ends by an error lets its marker go as it is: the next folder operation then
// removes whatever it left.
class FolderRestoreMarker {
public:
    // Creates the marker, locked, with a tag no other marker has. Throws FileError.
    FolderRestoreMarker();

    // A new staging name for a file in the folder, recording the folder first. Throws FileError.
    QString stagingNameIn(const QString& folder);
    // Whether folders were recorded since the last call: the marker's file system is then synced
    // with the staging files'.
    bool takeUnsynced();
    int descriptor() const { return m_marker.get(); }
    // Removes the marker once every staging file was moved into place or removed.
    void finish();

private:
    QString m_tag;
    QString m_path;
    UniqueFd m_marker;
    QSet<QString> m_folders;
    bool m_unsynced = false;
};

// Whether the folder is a run that has no finished manifest: its replacement is still going,
// or it was stopped (by this or an older version) before it wrote one.
bool isUnfinishedFolderReplacement(const QUrl& folderURL);

} // namespace dunmoss
