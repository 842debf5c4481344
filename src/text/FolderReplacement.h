#pragma once

#include "text/FolderSearchTypes.h"
#include "text/FolderWalk.h"
#include "text/TextSearch.h"

#include <QString>
#include <QStringList>
#include <QUrl>

namespace dunmoss {

// Counts what replacing every match below a folder would do, reading the files the folder
// search reads and writing nothing. Cancelling returns the counts so far. An empty query gives
// zero counts without reading the folder. A file the expression needs more than its work bound
// for is listed in the skipped files' costly files. Throws RegexError for an invalid
// expression once the first text file is reached.
FolderReplacementPreview previewFolderReplacement(const QString& query, const QString& replacement,
                                                  const QUrl& folderURL, const QStringList& include,
                                                  const QStringList& exclude,
                                                  const TextSearchOptions& options,
                                                  const CancellationCheck& cancelled = {});

// Replaces every match below a folder. Each file that changes is first copied into a new
// backup run folder and listed in its manifest, then rewritten atomically in the encoding,
// byte-order mark, byte order and line breaks it was read with; a file whose new text its
// encoding cannot hold, or whose bytes would not come back unchanged outside the replaced
// text, is counted as encoding-failed and left alone. A run that changes nothing creates no
// backup folder. Files are read and replaced in parallel and rewritten in walk order a batch at
// a time (see FolderReplacementRun): a kill at any moment leaves each file old or new, and each
// file replaced backed up and listed. Cancelling ends the walk, finishes the files already
// handed over and returns the partial outcome. Files inside the backup store are never counted or
// rewritten, even when the searched folder holds it or is itself reached through a link (the store
// is recognised by its device and inode). Files whose names are not valid UTF-8 are counted as
// skipped (in the preview too).
//
// A file the expression needs more than its work bound for is left alone whole and listed in
// the skipped files' costly files; the run goes on with the next. A file that changed on disk
// after it was read is left alone too, and listed in filesChangedDuringReplace, and so is a file
// with other names (hard links), listed in filesWithOtherNames. A rewritten file keeps its owner,
// group, mode and extended attributes (ACL included); a file they cannot be kept for is left
// alone and listed in filesWithAttributesNotKept. Before reading, the run settles what runs
// stopped part-way left (settleUnfinishedFolderReplacements).
//
// Throws RegexError, FileError or FolderReplacementBackupError and stops at once: files
// rewritten before stay rewritten and stay listed in the manifest with their copies; a file
// whose backup, manifest or write failed is left as it was. When `doneBeforeError` is given,
// it is set to what was done before the error, so the caller can say exactly which files
// changed.
FolderReplacementOutcome replaceInFolder(const QString& query, const QString& replacement,
                                         const QUrl& folderURL, const QStringList& include,
                                         const QStringList& exclude,
                                         const TextSearchOptions& options,
                                         const CancellationCheck& cancelled = {},
                                         FolderReplacementOutcome* doneBeforeError = nullptr);

} // namespace dunmoss
