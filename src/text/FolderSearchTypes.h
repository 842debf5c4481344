#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

namespace dunmoss {

// One match found below a searched folder. Line and column are 1-based; the column counts
// UTF-16 units.
struct FolderSearchResult {
    QUuid id;
    // The file as the folder walk yielded it (not standardised).
    QUrl url;
    qsizetype line = 0;
    qsizetype column = 0;
    QString preview;

    friend bool operator==(const FolderSearchResult&, const FolderSearchResult&) = default;
};

// The matches of one file, in the order they were found.
struct FolderSearchResultGroup {
    // The url of the group's first result.
    QUrl url;
    QList<FolderSearchResult> results;

    friend bool operator==(const FolderSearchResultGroup&,
                           const FolderSearchResultGroup&) = default;
};

// Files a folder operation left out, by reason.
struct FolderSearchSkippedFiles {
    int binaryFileCount = 0;
    int oversizedFileCount = 0;
    int encodingFailedFileCount = 0;
    // Names that are not valid UTF-8: no text form names such a file, so it cannot be read.
    int unnamedFileCount = 0;
    // Text files the expression would need more than its work bound for, in walk order: left
    // alone whole, so what was done is never mistaken for all of it.
    QList<QUrl> costlyFiles;

    friend bool operator==(const FolderSearchSkippedFiles&,
                           const FolderSearchSkippedFiles&) = default;
};

// What a folder replacement would do; nothing has been written.
struct FolderReplacementPreview {
    // Matches that would be replaced, over all files.
    int replacementCount = 0;
    // Files with at least one match.
    int fileCount = 0;
    FolderSearchSkippedFiles skippedFiles;

    friend bool operator==(const FolderReplacementPreview&,
                           const FolderReplacementPreview&) = default;
};

// What a folder replacement did.
struct FolderReplacementOutcome {
    int replacementCount = 0;
    // Files rewritten, and which, in the order they were written.
    int fileCount = 0;
    QList<QUrl> changedFiles;
    // The run's backup folder; nothing when no file changed.
    std::optional<QUrl> backupURL;
    FolderSearchSkippedFiles skippedFiles;
    // Files left as they were because they changed on disk after the run read them, in walk
    // order: replacing them would have undone that change.
    QList<QUrl> filesChangedDuringReplace;
    // Files left as they were because they have other names (hard links), in walk order:
    // replacing one name would have split it from the others.
    QList<QUrl> filesWithOtherNames;
    // Files left as they were because a new file could not keep their owner, group, mode or
    // extended attributes (another user's file), in walk order.
    QList<QUrl> filesWithAttributesNotKept;

    friend bool operator==(const FolderReplacementOutcome&,
                           const FolderReplacementOutcome&) = default;
};

} // namespace dunmoss
