#pragma once

#include "text/FolderSearchTypes.h"
#include "text/TextSearch.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <exception>
#include <functional>

namespace dunmoss {

class EditorWindowModel;
struct FolderRestoreOutcome;

// The include or exclude text split at ",", ";" and " " into trimmed, non-empty patterns, in
// order, duplicates kept.
QStringList parsePatternList(const QString& text);

// The status text of a finished replacement in a folder: its counts and backup folder (or,
// when no file changed, what still matches), plus the files it skipped.
QString folderReplaceOutcomeMessage(const FolderReplacementOutcome& outcome,
                                    const QList<FolderSearchResult>& remainingHits,
                                    const QUrl& folder);

// The status text of a replacement in a folder that stopped with an error after it had changed
// files: which files were replaced, and the backup folder.
QString folderReplaceStoppedMessage(const FolderReplacementOutcome& doneBeforeError,
                                    const QUrl& folder);

// The message followed by how many files were skipped because their names are not valid
// UTF-8; the message alone when there were none.
QString withUnnamedFilesSkipped(const QString& message, int unnamedFileCount);

// The message followed by the files below the folder that were not searched because the
// expression was too costly for them, by their paths in the folder; the message alone when
// there were none.
QString withCostlyFilesSkipped(const QString& message, const QList<QUrl>& costlyFiles,
                               const QUrl& folder);

// The message followed by the files left as they were because they changed during the
// replacement, by their paths in the folder; the message alone when there were none.
QString withFilesChangedDuringReplace(const QString& message, const QList<QUrl>& files,
                                      const QUrl& folder);

// The message followed by the files left as they were because they have other names (hard
// links), which a rewrite would split from them; the message alone when there were none.
QString withFilesWithOtherNames(const QString& message, const QList<QUrl>& files,
                                const QUrl& folder);

// The message followed by the files a replacement left as they were: changed during it, with
// other names, or whose owner, group, mode or attributes a new file could not keep; the message
// alone when there were none.
QString withFilesLeftByReplace(const QString& message, const FolderReplacementOutcome& outcome,
                               const QUrl& folder);

// The message followed by the files a restore left as they are, because they changed after the
// replacement, have other names or their owner, group, mode or attributes could not be kept;
// the message alone when there were none.
QString withFilesLeftByRestore(const QString& message, const FolderRestoreOutcome& outcome,
                               const QUrl& folder);

// The status text of a finished restore: how many files were put back, and those it left.
QString folderRestoreOutcomeMessage(const FolderRestoreOutcome& outcome, bool unfinished,
                                    const QUrl& folder);

// A folder search's hits, the files it could not read by name and those it did not search.
struct FolderSearchFound {
    QList<FolderSearchResult> hits;
    int unnamedFileCount = 0;
    QList<QUrl> costlyFiles;
};

// The folder search, replace-all and restore operations of one window. The engines run on the
// window's FolderOperationRunner; every state change happens here on the main thread, and only
// the latest operation's continuation acts. While a replacement or restore is writing, every
// other start is refused with the busy status, so its outcome is always shown.
class FolderSearchOperations {
public:
    explicit FolderSearchOperations(EditorWindowModel& model) : m_model(model) {}

    void chooseFolderSearchFolder();
    void startFolderSearch();
    // `shown` runs once the hit's file is shown with the hit's line selected.
    void openFolderSearchResult(const FolderSearchResult& result, std::function<void()> shown = {});
    void closeFolderSearch();

    // Replace All: a dry run, then the confirmation alert (or the replace-none results).
    void requestFolderReplaceAll();
    void startConfirmedFolderReplace();
    void cancelFolderReplace();
    QString folderReplaceAlertMessage() const;

    // Restore Backup: the backup folder, its manifest, the target folder, then the restore and
    // a search of the current query.
    void startBackupRestore();

    // The panel's bindings.
    void setQuery(const QString& query);
    void setReplaceText(const QString& text);
    void setIncludePattern(const QString& text);
    void setExcludePattern(const QString& text);
    void setTextOptions(const TextSearchOptions& options);

private:
    // What an operation works on, read once when it starts.
    struct Inputs {
        QString query;
        QString replacement;
        QUrl folder;
        QStringList include;
        QStringList exclude;
        TextSearchOptions options;
    };
    Inputs readInputs() const;
    // False (with the busy status) while a write is under way.
    bool refuseWhileWriting();
    void presentConfirmation();
    // `unfinished`: the backup is of a replacement that was stopped before it finished.
    void chooseRestoreTarget(quint64 generation, const QUrl& backup, const QString& rootPath,
                             bool unfinished);
    void runRestore(const QUrl& backup, const QUrl& target, bool unfinished);
    void showSearchResults(const QList<FolderSearchResult>& hits, const QUrl& folder,
                           const QString& query, bool recordRun);
    void finish();

    EditorWindowModel& m_model;
};

// The text the window shows for an error of a folder operation.
QString folderErrorDescription(const std::exception& error);

} // namespace dunmoss
