#include "search/FolderSearchOperations.h"

#include "platform/Localization.h"
#include "search/FolderOperationRunner.h"
#include "search/SearchCenter.h"
#include "search/SearchCenterResults.h"
#include "text/EditorTab.h"
#include "text/FolderBackupRestore.h"
#include "text/FolderReplacement.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderSearch.h"
#include "text/SearchableText.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/WindowErrors.h"
#include "window/WindowFilePanels.h"
#include "window/WindowInteraction.h"

#include <QPointer>
#include <QRegularExpression>

namespace dunmoss {

namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

void setMessage(EditorWindowModel& model, const QString& message) {
    model.update([&](EditorWindowState& s) { s.folderSearch.folderSearchMessage = message; });
}

// An operation that was cancelled or failed leaves no "Searching…" or "Restoring…" behind.
void clearProgressMessage(EditorWindowState& s) {
    QString& message = s.folderSearch.folderSearchMessage;
    if (message == l("folder-search.searching") || message == l("folder-search.restoring"))
        message.clear();
}

template <typename R> const R* valueOf(const FolderOperationRunner::Result<R>& result) {
    return std::get_if<R>(&result);
}

// Runs the rethrown error through the describer.
QString describe(const std::exception_ptr& error, QString (*describer)(const std::exception&)) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return describer(e);
    } catch (...) {
        return QString();
    }
}

} // namespace

QStringList parsePatternList(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[,; ]"));
    QStringList patterns;
    for (const QString& piece : text.split(separators, Qt::SkipEmptyParts)) {
        const QString trimmed = piece.trimmed();
        if (!trimmed.isEmpty())
            patterns << trimmed;
    }
    return patterns;
}

QString folderErrorDescription(const std::exception& error) {
    if (const auto* backupError = dynamic_cast<const FolderReplacementBackupError*>(&error))
        return backupError->localizedDescription();
    return localizedErrorDescription(error);
}

QString folderReplaceOutcomeMessage(const FolderReplacementOutcome& outcome,
                                    const QList<FolderSearchResult>& remainingHits,
                                    const QUrl& folder) {
    const QString replaced = localizedCount(outcome.replacementCount, kCountedMatches);
    QString message =
        outcome.backupURL
            ? l("folder-search.replaced-backup.format")
                  .arg(replaced, localizedCount(outcome.fileCount, kCountedFiles),
                       outcome.backupURL->toLocalFile())
            : l("folder-search.replaced-results-files.format")
                  .arg(replaced, localizedCount(remainingHits.size(), kCountedResults),
                       localizedCount(countUniqueResultFiles(remainingHits), kCountedFiles));
    const FolderSearchSkippedFiles& skipped = outcome.skippedFiles;
    const int skippedCount =
        skipped.binaryFileCount + skipped.oversizedFileCount + skipped.encodingFailedFileCount;
    if (skippedCount > 0)
        message +=
            u' ' +
            l("folder-search.skipped.format").arg(localizedCount(skippedCount, kCountedFiles));
    return withFilesLeftByReplace(
        withCostlyFilesSkipped(withUnnamedFilesSkipped(message, skipped.unnamedFileCount),
                               skipped.costlyFiles, folder),
        outcome, folder);
}

namespace {

// The first few files by their paths in the folder, so the status stays one line.
QString firstFileNames(const QList<QUrl>& files, const QUrl& folder) {
    constexpr qsizetype kNamed = 3;
    QStringList names;
    for (qsizetype i = 0; i < std::min(files.size(), kNamed); ++i)
        names.append(relativeDisplayPath(files[i], folder));
    if (files.size() > kNamed)
        names.append(QStringLiteral("…"));
    return names.join(QStringLiteral(", "));
}

// The message, then the sentence `formatKey` makes of how many files there are and the first
// of their names; the message alone when there are none.
QString withFilesNamed(const QString& message, const char* formatKey, const QList<QUrl>& files,
                       const QUrl& folder) {
    if (files.isEmpty())
        return message;
    return message + u' ' +
           l(formatKey).arg(localizedCount(files.size(), kCountedFiles),
                            firstFileNames(files, folder));
}

} // namespace

QString withCostlyFilesSkipped(const QString& message, const QList<QUrl>& costlyFiles,
                               const QUrl& folder) {
    return withFilesNamed(message, "folder-search.skipped-costly.format", costlyFiles, folder);
}

QString withFilesChangedDuringReplace(const QString& message, const QList<QUrl>& files,
                                      const QUrl& folder) {
    return withFilesNamed(message, "folder-search.changed-during-replace.format", files, folder);
}

QString withFilesWithOtherNames(const QString& message, const QList<QUrl>& files,
                                const QUrl& folder) {
    return withFilesNamed(message, lkey("folder-search.other-names.format"), files, folder);
}

QString withFilesLeftByReplace(const QString& message, const FolderReplacementOutcome& outcome,
                               const QUrl& folder) {
    return withFilesNamed(
        withFilesWithOtherNames(
            withFilesChangedDuringReplace(message, outcome.filesChangedDuringReplace, folder),
            outcome.filesWithOtherNames, folder),
        lkey("folder-search.attributes-not-kept.format"), outcome.filesWithAttributesNotKept,
        folder);
}

QString folderReplaceStoppedMessage(const FolderReplacementOutcome& doneBeforeError,
                                    const QUrl& folder) {
    return withFilesLeftByReplace(
        l("folder-search.replace-stopped.format")
            .arg(localizedCount(doneBeforeError.replacementCount, kCountedMatches),
                 localizedCount(doneBeforeError.fileCount, kCountedFiles),
                 firstFileNames(doneBeforeError.changedFiles, folder),
                 doneBeforeError.backupURL.value_or(QUrl()).toLocalFile()),
        doneBeforeError, folder);
}

QString withFilesLeftByRestore(const QString& message, const FolderRestoreOutcome& outcome,
                               const QUrl& folder) {
    return withFilesNamed(
        withFilesWithOtherNames(
            withFilesNamed(message, lkey("folder-search.restore-backup.changed-since.format"),
                           outcome.changedSinceReplace, folder),
            outcome.withOtherNames, folder),
        lkey("folder-search.restore-backup.attributes-not-kept.format"), outcome.attributesNotKept,
        folder);
}

QString folderRestoreOutcomeMessage(const FolderRestoreOutcome& outcome, bool unfinished,
                                    const QUrl& folder) {
    return withFilesLeftByRestore(l(unfinished
                                        ? "folder-search.restore-backup.done-unfinished.format"
                                        : "folder-search.restore-backup.done.format")
                                      .arg(localizedCount(outcome.restored, kCountedFiles)),
                                  outcome, folder);
}

QString withUnnamedFilesSkipped(const QString& message, int unnamedFileCount) {
    if (unnamedFileCount <= 0)
        return message;
    return message + u' ' +
           l("folder-search.skipped-unnamed.format")
               .arg(localizedCount(unnamedFileCount, kCountedFiles));
}

FolderSearchOperations::Inputs FolderSearchOperations::readInputs() const {
    const FolderSearchState& s = m_model.state().folderSearch;
    return {s.folderSearchQuery,
            s.folderSearchReplaceText,
            s.folderSearchURL.value_or(QUrl()),
            parsePatternList(s.folderSearchIncludePattern),
            parsePatternList(s.folderSearchExcludePattern),
            s.folderSearchTextOptions};
}

bool FolderSearchOperations::refuseWhileWriting() {
    if (!FolderOperationRunner::of(m_model).isWriting())
        return false;
    setMessage(m_model, l("folder-search.busy"));
    return true;
}

void FolderSearchOperations::finish() {
    m_model.update([](EditorWindowState& s) {
        s.folderSearch.isFolderSearchRunning = false;
        clearProgressMessage(s);
    });
}

void FolderSearchOperations::showSearchResults(const QList<FolderSearchResult>& hits,
                                               const QUrl& folder, const QString& query,
                                               bool recordRun) {
    const QList<SearchCenterResult> centerResults = folderSearchCenterResults(hits, folder);
    m_model.update([&](EditorWindowState& s) {
        s.folderSearch.folderSearchResults = hits;
        s.searchCenter.searchCenterFolderResults = centerResults;
        s.searchCenter.noteSearched(SearchCenterScope::Folder);
        s.searchCenter.searchCenterScope = SearchCenterScope::Folder;
        s.searchCenter.showSearchCenter = true;
        // Without a run of their own the new results show in place of a recorded one.
        if (!recordRun)
            s.searchCenter.selectedSearchRunID.reset();
    });
    if (recordRun)
        SearchCenter(m_model).recordSearchCenterRun(SearchCenterScope::Folder, query,
                                                    centerResults);
}

void FolderSearchOperations::chooseFolderSearchFolder() {
    const QPointer<EditorWindowModel> window = &m_model;
    // The panel starts in the folder searched last, else in the workspace.
    const EditorWindowState& state = m_model.state();
    const std::optional<QUrl> last = state.folderSearch.folderSearchURL
                                         ? state.folderSearch.folderSearchURL
                                         : state.workspace.workspaceRootURL;
    WindowFilePanels(m_model).chooseFolder(
        std::nullopt,
        [window](std::optional<QUrl> folder) {
            if (!window || !folder)
                return;
            window->update([&](EditorWindowState& s) { s.folderSearch.folderSearchURL = *folder; });
            if (window->state().folderSearch.folderSearchQuery.isEmpty())
                setMessage(*window, l("folder-search.ready"));
            else
                FolderSearchOperations(*window).startFolderSearch();
        },
        last);
}

void FolderSearchOperations::startFolderSearch() {
    if (!m_model.state().folderSearch.folderSearchURL) {
        setMessage(m_model, l("folder-search.choose-folder-first"));
        return;
    }
    if (refuseWhileWriting())
        return;
    const Inputs in = readInputs();
    FolderOperationRunner& runner = FolderOperationRunner::of(m_model);
    const auto generation = runner.begin();
    m_model.update([](EditorWindowState& s) {
        s.folderSearch.isFolderSearchRunning = true;
        s.folderSearch.folderSearchMessage = l("folder-search.searching");
    });
    EditorWindowModel* model = &m_model;
    runner.run<FolderSearchFound>(
        true,
        [in](const CancellationCheck& stop) {
            FolderSearchFound found;
            found.hits = searchFolder(in.query, in.folder, in.include, in.exclude, in.options,
                                      folderSearchResultLimit, stop, &found.unnamedFileCount,
                                      &found.costlyFiles);
            return found;
        },
        [model, generation, in](FolderOperationRunner::Result<FolderSearchFound> result) {
            if (!FolderOperationRunner::of(*model).isLatest(generation))
                return;
            FolderSearchOperations operations(*model);
            if (const auto* found = valueOf(result)) {
                const QList<FolderSearchResult>& hits = found->hits;
                operations.showSearchResults(hits, in.folder, in.query, true);
                setMessage(
                    *model,
                    withCostlyFilesSkipped(
                        withUnnamedFilesSkipped(
                            l("folder-search.results-files.format")
                                .arg(localizedCount(hits.size(), kCountedResults),
                                     localizedCount(countUniqueResultFiles(hits), kCountedFiles)),
                            found->unnamedFileCount),
                        found->costlyFiles, in.folder));
            } else {
                setMessage(*model,
                           describe(std::get<std::exception_ptr>(result), &errorDisplayText));
            }
            operations.finish();
        });
}

void FolderSearchOperations::openFolderSearchResult(const FolderSearchResult& result,
                                                    std::function<void()> shown) {
    m_model.opening().openDocument(result.url, int(result.line), std::nullopt, true,
                                   std::move(shown));
}

void FolderSearchOperations::closeFolderSearch() {
    m_model.update([](EditorWindowState& s) { s.folderSearch.showFolderSearch = false; });
}

void FolderSearchOperations::setQuery(const QString& query) {
    m_model.update([&](EditorWindowState& s) { s.folderSearch.folderSearchQuery = query; });
}
void FolderSearchOperations::setReplaceText(const QString& text) {
    m_model.update([&](EditorWindowState& s) { s.folderSearch.folderSearchReplaceText = text; });
}
void FolderSearchOperations::setIncludePattern(const QString& text) {
    m_model.update([&](EditorWindowState& s) { s.folderSearch.folderSearchIncludePattern = text; });
}
void FolderSearchOperations::setExcludePattern(const QString& text) {
    m_model.update([&](EditorWindowState& s) { s.folderSearch.folderSearchExcludePattern = text; });
}
void FolderSearchOperations::setTextOptions(const TextSearchOptions& options) {
    m_model.update([&](EditorWindowState& s) { s.folderSearch.folderSearchTextOptions = options; });
}

} // namespace dunmoss
