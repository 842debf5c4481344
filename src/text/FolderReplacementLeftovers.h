#pragma once

#include "platform/PosixFile.h"

#include <QString>
#include <QUrl>

namespace dunmoss {

// What a folder replacement that was stopped (killed, or its machine lost) leaves behind, and
// how the next folder operation puts it in order.
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
// marked unfinished, and removes the marker. Runs still going (their marker locked) are left
// alone. Never throws: a run that cannot be settled is tried again next time. Returns the
// number of runs settled.
int settleUnfinishedFolderReplacements();

// Whether the folder is a run that has no finished manifest: its replacement is still going,
// or it was stopped (by this or an older version) before it wrote one.
bool isUnfinishedFolderReplacement(const QUrl& folderURL);

} // namespace dunmoss
