// Replace All over a folder and restoring its backups: the FolderSearchOperations that write.
#include "search/FolderOperationRunner.h"
#include "search/FolderSearchOperations.h"

#include "platform/Localization.h"
#include "search/SearchCenterResults.h"
#include "text/EditorTab.h"
#include "text/FolderBackupRestore.h"
#include "text/FolderReplacement.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementLeftovers.h"
#include "text/FolderSearch.h"
#include "text/SearchableText.h"
#include "window/EditorWindowModel.h"
#include "window/RewrittenTabFiles.h"
#include "window/WindowErrors.h"
#include "window/WindowFilePanels.h"
#include "window/WindowInteraction.h"

#include <QPointer>

#include <algorithm>

namespace dunmoss {

namespace {

using Hits = QList<FolderSearchResult>;
using Runner = FolderOperationRunner;

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

QString describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return folderErrorDescription(e);
    } catch (...) {
        return QString();
    }
}

// A write followed by a search whose failure does not undo what was written.
template <typename Written> struct WriteThenSearch {
    Written written{};
    // The write stopped after it had changed files: `written` is what it did before.
    std::exception_ptr writeError;
    std::optional<Hits> hits;
    std::exception_ptr searchError;
};

// The search that shows the folder after a write; its failure is kept beside what was written.
template <typename Done, typename Inputs>
void searchAfterWrite(Done& done, const Inputs& in, const std::function<void()>& followUp) {
    try {
        if (followUp)
            followUp();
        done.hits = searchFolder(in.query, in.folder, in.include, in.exclude, in.options,
                                 folderSearchResultLimit);
    } catch (...) {
        done.searchError = std::current_exception();
    }
}

// The backup a restore was asked for: its root, or nothing when it lists no file yet.
struct RestoreSource {
    std::optional<QString> rootPath;
    bool unfinished = false;
};

RestoreSource restoreSourceOf(const QUrl& backup) {
    // A stopped run is settled first, so that it reads as what it replaced.
    settleUnfinishedFolderReplacements();
    if (isUnfinishedFolderReplacement(backup))
        return {};
    const FolderReplacementManifest manifest = readFolderReplacementManifest(backup);
    return {manifest.rootPath, manifest.unfinished};
}

} // namespace

void FolderSearchOperations::requestFolderReplaceAll() {
    if (!m_model.state().folderSearch.folderSearchURL) {
        m_model.update([](EditorWindowState& s) {
            s.folderSearch.folderSearchMessage = l("folder-search.choose-folder-first");
        });
        return;
    }
    if (refuseWhileWriting())
        return;
    const Inputs in = readInputs();
    Runner& runner = Runner::of(m_model);
    const auto generation = runner.begin();
    m_model.update([](EditorWindowState& s) {
        s.folderSearch.isFolderSearchRunning = true;
        s.folderSearch.folderSearchMessage = l("folder-search.searching");
    });
    EditorWindowModel* model = &m_model;
    runner.run<FolderReplacementPreview>(
        true,
        [in](const CancellationCheck& stop) {
            return previewFolderReplacement(in.query, in.replacement, in.folder, in.include,
                                            in.exclude, in.options, stop);
        },
        [model, generation, in](Runner::Result<FolderReplacementPreview> result) {
            Runner& runner = Runner::of(*model);
            if (!runner.isLatest(generation))
                return;
            FolderSearchOperations operations(*model);
            if (const auto* error = std::get_if<std::exception_ptr>(&result)) {
                model->setErrorMessage(describe(*error));
                operations.finish();
                return;
            }
            const FolderReplacementPreview preview = std::get<FolderReplacementPreview>(result);
            if (preview.replacementCount > 0) {
                model->update([&](EditorWindowState& s) {
                    s.folderSearch.folderReplacePreview = preview;
                    s.folderSearch.showFolderReplaceConfirmation = true;
                });
                // The dry run is over while the person decides.
                operations.finish();
                operations.presentConfirmation();
                return;
            }
            model->update(
                [](EditorWindowState& s) { s.folderSearch.folderReplacePreview.reset(); });
            runner.run<Hits>(
                true,
                [in](const CancellationCheck& stop) {
                    return searchFolder(in.query, in.folder, in.include, in.exclude, in.options,
                                        folderSearchResultLimit, stop);
                },
                [model, generation, in, preview](Runner::Result<Hits> found) {
                    if (!Runner::of(*model).isLatest(generation))
                        return;
                    FolderSearchOperations operations(*model);
                    if (const auto* hits = std::get_if<Hits>(&found)) {
                        operations.showSearchResults(*hits, in.folder, in.query, true);
                        model->update([&preview, &in](EditorWindowState& s) {
                            s.folderSearch.folderSearchMessage = withCostlyFilesSkipped(
                                withUnnamedFilesSkipped(l("folder-search.replace-none"),
                                                        preview.skippedFiles.unnamedFileCount),
                                preview.skippedFiles.costlyFiles, in.folder);
                        });
                    } else {
                        model->setErrorMessage(describe(std::get<std::exception_ptr>(found)));
                    }
                    operations.finish();
                });
        });
}

QString FolderSearchOperations::folderReplaceAlertMessage() const {
    const auto& preview = m_model.state().folderSearch.folderReplacePreview;
    if (!preview)
        return QString();
    return withCostlyFilesSkipped(
        withUnnamedFilesSkipped(
            l("folder-search.replace-confirm.message.format")
                .arg(localizedCount(preview->replacementCount, kCountedReplacements),
                     localizedCount(preview->fileCount, kCountedFiles)),
            preview->skippedFiles.unnamedFileCount),
        preview->skippedFiles.costlyFiles,
        m_model.state().folderSearch.folderSearchURL.value_or(QUrl()));
}

void FolderSearchOperations::presentConfirmation() {
    WindowInteraction* interaction = m_model.interaction();
    if (!interaction) {
        cancelFolderReplace();
        return;
    }
    AlertRequest request;
    request.title = l("folder-search.replace-confirm.title");
    request.message = folderReplaceAlertMessage();
    request.buttons = {{l("folder-search.replace-confirm.replace"), AlertButton::Role::Destructive},
                       {l("document.close-cancel"), AlertButton::Role::Cancel}};
    const QPointer<EditorWindowModel> window = &m_model;
    interaction->showAlert(request, [window](int button) {
        if (!window)
            return;
        if (button == 0)
            FolderSearchOperations(*window).startConfirmedFolderReplace();
        else
            FolderSearchOperations(*window).cancelFolderReplace();
    });
}

void FolderSearchOperations::cancelFolderReplace() {
    m_model.update([](EditorWindowState& s) {
        s.folderSearch.folderReplacePreview.reset();
        s.folderSearch.showFolderReplaceConfirmation = false;
    });
    finish();
}

void FolderSearchOperations::startConfirmedFolderReplace() {
    m_model.update(
        [](EditorWindowState& s) { s.folderSearch.showFolderReplaceConfirmation = false; });
    if (!m_model.state().folderSearch.folderSearchURL) {
        m_model.update([](EditorWindowState& s) {
            s.folderSearch.folderSearchMessage = l("folder-search.choose-folder-first");
            s.folderSearch.folderReplacePreview.reset();
        });
        return;
    }
    if (refuseWhileWriting())
        return;
    const Inputs in = readInputs();
    Runner& runner = Runner::of(m_model);
    runner.begin();
    runner.setWriting(true);
    m_model.update([](EditorWindowState& s) {
        s.folderSearch.isFolderSearchRunning = true;
        s.folderSearch.folderSearchMessage = l("folder-search.searching");
    });
    using Done = WriteThenSearch<FolderReplacementOutcome>;
    EditorWindowModel* model = &m_model;
    runner.run<Done>(
        false,
        [in, followUp = runner.beforeFollowUpSearch](const CancellationCheck&) {
            Done done;
            try {
                done.written = replaceInFolder(in.query, in.replacement, in.folder, in.include,
                                               in.exclude, in.options, {}, &done.written);
            } catch (...) {
                // With nothing changed the error is all there is to say.
                if (done.written.fileCount == 0)
                    throw;
                done.writeError = std::current_exception();
            }
            searchAfterWrite(done, in, followUp);
            return done;
        },
        [model, in](Runner::Result<Done> result) {
            // No later start was let in while this wrote, so this is the latest operation.
            Runner::of(*model).setWriting(false);
            FolderSearchOperations operations(*model);
            if (const auto* error = std::get_if<std::exception_ptr>(&result)) {
                model->setErrorMessage(describe(*error));
                operations.finish();
                return;
            }
            const Done& done = std::get<Done>(result);
            if (done.hits)
                operations.showSearchResults(*done.hits, in.folder, in.query, true);
            if (done.writeError)
                model->setErrorMessage(describe(done.writeError));
            else if (!done.hits)
                model->setErrorMessage(describe(done.searchError));
            model->update([&](EditorWindowState& s) {
                s.folderSearch.folderSearchMessage =
                    done.writeError ? folderReplaceStoppedMessage(done.written, in.folder)
                                    : folderReplaceOutcomeMessage(
                                          done.written, done.hits.value_or(Hits()), in.folder);
                s.folderSearch.folderReplacePreview.reset();
                s.folderSearch.isFolderSearchRunning = false;
            });
        });
}

void FolderSearchOperations::startBackupRestore() {
    if (refuseWhileWriting())
        return;
    const QPointer<EditorWindowModel> window = &m_model;
    WindowFilePanels(m_model).chooseFolder(
        l("panel.folder.backup.message"),
        [window](std::optional<QUrl> backup) {
            if (!window || !backup)
                return;
            FolderSearchOperations operations(*window);
            if (operations.refuseWhileWriting())
                return;
            Runner& runner = Runner::of(*window);
            const auto generation = runner.begin();
            window->update([](EditorWindowState& s) {
                s.folderSearch.isFolderSearchRunning = true;
                s.folderSearch.folderSearchMessage = l("folder-search.restoring");
            });
            EditorWindowModel* model = window;
            runner.run<RestoreSource>(
                true,
                [backup = *backup](const CancellationCheck&) { return restoreSourceOf(backup); },
                [model, generation, backup = *backup](Runner::Result<RestoreSource> read) {
                    if (!Runner::of(*model).isLatest(generation))
                        return;
                    FolderSearchOperations operations(*model);
                    if (const auto* error = std::get_if<std::exception_ptr>(&read)) {
                        model->presentError(
                            l("folder-search.restore-backup.failed.format").arg(describe(*error)));
                        operations.finish();
                        return;
                    }
                    const RestoreSource& source = std::get<RestoreSource>(read);
                    if (!source.rootPath) {
                        // Not an error: a run still going, or stopped before its manifest.
                        model->update([](EditorWindowState& s) {
                            s.folderSearch.folderSearchMessage =
                                l("folder-search.restore-backup.unfinished");
                        });
                        operations.finish();
                        return;
                    }
                    operations.chooseRestoreTarget(generation, backup, *source.rootPath,
                                                   source.unfinished);
                });
        },
        QUrl::fromLocalFile(folderReplaceBackupsPath()));
}

void FolderSearchOperations::chooseRestoreTarget(quint64 generation, const QUrl& backup,
                                                 const QString& rootPath, bool unfinished) {
    const QUrl root = QUrl::fromLocalFile(rootPath);
    const auto& current = m_model.state().folderSearch.folderSearchURL;
    if (current && isSameFileLocation(current, root)) {
        runRestore(backup, *current, unfinished);
        return;
    }
    const QPointer<EditorWindowModel> window = &m_model;
    WindowFilePanels(m_model).chooseFolder(
        l("panel.folder.restore-target.message.format").arg(rootPath),
        [window, generation, backup, root, rootPath, unfinished](std::optional<QUrl> target) {
            if (!window || !Runner::of(*window).isLatest(generation))
                return;
            FolderSearchOperations operations(*window);
            if (!target) {
                operations.finish();
                return;
            }
            if (!isSameFileLocation(target, root)) {
                window->presentError(
                    l("folder-search.restore-backup.root-mismatch.format").arg(rootPath));
                operations.finish();
                return;
            }
            window->update([&](EditorWindowState& s) { s.folderSearch.folderSearchURL = *target; });
            operations.runRestore(backup, *target, unfinished);
        },
        root);
}

void FolderSearchOperations::runRestore(const QUrl& backup, const QUrl& target, bool unfinished) {
    Inputs in = readInputs();
    in.folder = target;
    Runner& runner = Runner::of(m_model);
    runner.setWriting(true);
    using Done = WriteThenSearch<FolderRestoreOutcome>;
    EditorWindowModel* model = &m_model;
    // Open tabs whose files the backup may put back to their text.
    auto tabs = std::make_shared<QList<RewrittenTabFiles::Check>>(
        RewrittenTabFiles::tabsWithFiles(m_model.state()));
    runner.run<Done>(
        false,
        [in, backup, tabs, followUp = runner.beforeFollowUpSearch](const CancellationCheck&) {
            Done done;
            try {
                done.written = restoreFolderReplacementBackup(backup, in.folder, &done.written);
            } catch (...) {
                // The files it left alone are named with the error.
                if (done.written.changedSinceReplace.isEmpty() &&
                    done.written.withOtherNames.isEmpty() &&
                    done.written.attributesNotKept.isEmpty())
                    throw;
                done.writeError = std::current_exception();
                return done;
            }
            RewrittenTabFiles::readFiles(*tabs, in.folder.toLocalFile());
            if (!in.query.isEmpty())
                searchAfterWrite(done, in, followUp);
            return done;
        },
        [model, in, unfinished, tabs](Runner::Result<Done> result) {
            Runner::of(*model).setWriting(false);
            FolderSearchOperations operations(*model);
            if (const auto* error = std::get_if<std::exception_ptr>(&result)) {
                model->presentError(
                    l("folder-search.restore-backup.failed.format").arg(describe(*error)));
                operations.finish();
                return;
            }
            const Done& done = std::get<Done>(result);
            if (done.writeError) {
                model->presentError(withFilesLeftByRestore(
                    l("folder-search.restore-backup.failed.format").arg(describe(done.writeError)),
                    done.written, in.folder));
                operations.finish();
                return;
            }
            RewrittenTabFiles::settle(*model, *tabs);
            model->update([&](EditorWindowState& s) {
                s.folderSearch.folderSearchMessage =
                    folderRestoreOutcomeMessage(done.written, unfinished, in.folder);
            });
            if (done.hits) {
                operations.showSearchResults(*done.hits, in.folder, in.query, false);
            } else {
                // Hits found before the restore describe files that changed since.
                model->update([](EditorWindowState& s) {
                    s.folderSearch.folderSearchResults.clear();
                    s.searchCenter.searchCenterFolderResults.clear();
                    const auto& runs = s.searchCenter.searchCenterRuns;
                    const auto& selected = s.searchCenter.selectedSearchRunID;
                    if (selected && std::any_of(runs.begin(), runs.end(), [&](const auto& run) {
                            return run.id == *selected && run.scope == SearchCenterScope::Folder;
                        }))
                        s.searchCenter.selectedSearchRunID.reset();
                });
            }
            if (done.searchError)
                model->presentError(describe(done.searchError));
            model->refreshFindResultsAfterEdit();
            operations.finish();
        });
}

} // namespace dunmoss
