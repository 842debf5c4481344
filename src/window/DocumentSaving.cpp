#include "window/DocumentSaving.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/SaveOverOpenTab.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"
#include "window/WindowFilePanels.h"
#include "window/WindowNotices.h"

#include <QFileInfo>
#include <QPointer>
#include <algorithm>
#include <memory>

namespace dunmoss {

namespace {

void finish(const std::function<void(bool)>& done, bool result) {
    if (done)
        done(result);
}

QString suggestedNameFor(const EditorTab& tab) {
    if (tab.fileURL) {
        const QString name = tab.fileURL->fileName();
        if (!name.isEmpty())
            return name;
    }
    return localizedString(QStringLiteral("document.default-filename"));
}

// Save As starts in the folder of the tab's file.
std::optional<QUrl> folderOf(const EditorTab& tab) {
    if (!tab.fileURL || !tab.fileURL->isLocalFile())
        return std::nullopt;
    return QUrl::fromLocalFile(QFileInfo(tab.fileURL->toLocalFile()).absolutePath());
}

// Puts the tab on screen, in the pane with the keyboard, while the person is asked where it goes:
// the first pane takes it as the active tab, the second pane of a split as its own. Neither pane
// takes the other's document. Returns how to put back what that pane showed.
std::function<void()> showWhileAsked(EditorWindowModel& model, const QUuid& tabID) {
    const EditorWindowState& state = model.state();
    const bool split = state.split.splitMode == SplitEditorMode::Split;
    if (state.activeTabID == tabID || (split && state.split.secondaryTabID == tabID))
        return {};
    QPointer<EditorWindowModel> window(&model);
    if (split && state.split.keyboardInSecondPane) {
        const std::optional<QUuid> before = state.split.secondaryTabID;
        model.update([&](EditorWindowState& s) { s.split.secondaryTabID = tabID; });
        return [window, tabID, before] {
            if (window && window->state().split.secondaryTabID == tabID && before &&
                window->tab(*before) && window->state().activeTabID != *before)
                window->update([&](EditorWindowState& s) { s.split.secondaryTabID = before; });
        };
    }
    const QUuid before = state.activeTabID;
    model.setActiveTabID(tabID);
    return [window, tabID, before] {
        if (window && window->state().activeTabID == tabID && window->tab(before) &&
            window->state().split.secondaryTabID != before)
            window->setActiveTabID(before);
    };
}

// The tab holds in its file what was written: the text (the writer's copy), encoding and line
// ending of the save, whatever was typed since, and the file as the writer left it.
void markWritten(EditorTab& tab, const QUrl& url, const PlainTextDocument& written,
                 const DocumentWriteOutcome& outcome, bool isSaveAs) {
    tab.fileURL = url;
    tab.savedSnapshot = savedTextAfterWrite(tab.document.text, outcome.writtenText);
    tab.savedEncoding = written.encoding;
    tab.savedLineEnding = written.lineEnding;
    takeFileLeftByWrite(tab, outcome);
    tab.hasExternalChanges = false;
    if (isSaveAs) {
        // The new file holds the whole text, so it no longer stands for a larger file's start.
        tab.isLargeFilePreview = false;
        tab.originalByteCount.reset();
    }
}

} // namespace

void takeFileLeftByWrite(EditorTab& tab, const DocumentWriteOutcome& outcome) {
    if (outcome.result != DocumentWriteOutcome::Result::Saved && !outcome.modificationDate)
        return;
    tab.lastKnownModificationDate = outcome.modificationDate;
    tab.lastKnownFileSize = outcome.fileSize;
    tab.lastKnownFileIdentity = outcome.fileIdentity;
    tab.lastKnownChangeTime = outcome.changeTime;
}

DocumentSaving::DocumentSaving(EditorWindowModel& model)
    : m_model(model), m_writes(std::make_unique<DocumentWriteQueue>(&model)) {}

DocumentSaving::~DocumentSaving() = default;

bool DocumentSaving::isWriting(const QUuid& tabID) const {
    return m_writes->isWriting(tabID);
}

void DocumentSaving::untieWrites(const QUuid& tabID, const QUrl& file) {
    if (m_writes->isWriting(tabID))
        m_untied[tabID].append(file);
}

bool DocumentSaving::mayWriteOverFile(int index) {
    const EditorTab& tab = m_model.state().tabs.at(index);
    if (!canSaveOverOriginalFile(tab)) {
        m_model.setFindMessage(localizedString(QLatin1String(readOnlySaveBlockedKey(tab))));
        return false;
    }
    bool changedOnDisk = tab.hasExternalChanges;
    // A write of the tab still under way changes the file: the writer judges after it.
    if (!changedOnDisk && tab.fileURL && !m_writes->isWriting(tab.id)) {
        const QString path = tab.fileURL->toLocalFile();
        changedOnDisk =
            modificationDatesDiffer(fileModificationDate(path), tab.lastKnownModificationDate) ||
            hasFileChangedOnDisk(*tab.fileURL, tab.lastKnownModificationDate,
                                 tab.lastKnownFileSize);
    }
    if (!changedOnDisk)
        return true;
    refuseChangedOnDisk(index);
    return false;
}

void DocumentSaving::refuseChangedOnDisk(int index) {
    const QUuid tabID = m_model.state().tabs.at(index).id;
    // The notice names the tab; no tab is made active, which in a split would swap the panes'
    // documents under the keyboard.
    m_model.update([&](EditorWindowState& state) {
        state.tabs[index].hasExternalChanges = true;
        state.decisions.externalChangeTabID = tabID;
        state.findMessage =
            localizedString(QStringLiteral("document.external-change.save-blocked"));
    });
}

void DocumentSaving::saveTab(int index, std::function<void(bool)> done) {
    startSave(index, {}, std::move(done));
}

void DocumentSaving::startSave(int index, std::function<void()> handedOver,
                               std::function<void(bool)> done) {
    const auto settle = [&](bool result) {
        finish(done, result);
        if (handedOver)
            handedOver();
    };
    if (index < 0 || index >= m_model.state().tabs.size()) {
        settle(false);
        return;
    }
    const QUuid tabID = m_model.state().tabs.at(index).id;
    // A write that gives the tab its file, or a new one, is under way: this save goes where that
    // one went (or asks again when it failed), so it waits for it.
    const std::optional<QUrl> destination = m_writes->pendingDestination(tabID);
    if (destination && destination != m_model.state().tabs.at(index).fileURL) {
        QPointer<EditorWindowModel> model(&m_model);
        m_writes->whenWritten(tabID, [this, model, tabID, handedOver, done] {
            if (model)
                startSave(m_model.tabIndex(tabID).value_or(-1), handedOver, done);
        });
        return;
    }
    if (!mayWriteOverFile(index)) {
        settle(false);
        return;
    }
    if (const std::optional<QUrl> url = m_model.state().tabs.at(index).fileURL) {
        writeTabToFile(tabID, *url, false, std::move(done));
        if (handedOver)
            handedOver();
        return;
    }
    QPointer<EditorWindowModel> model(&m_model);
    WindowFilePanels(m_model).chooseSaveLocation(
        QString(), [this, model, tabID, handedOver, done](std::optional<QUrl> url) {
            if (model && url)
                SaveOverOpenTab(*model).write(
                    tabID, *url,
                    [this, tabID, url = *url](auto written) {
                        writeTabToFile(tabID, url, false, std::move(written));
                    },
                    done);
            else
                finish(done, false);
            if (handedOver)
                handedOver();
        });
}

void DocumentSaving::writeTabToFile(const QUuid& tabID, QUrl url, bool isSaveAs,
                                    std::function<void(bool)> done) {
    const std::optional<int> index = m_model.tabIndex(tabID);
    if (!index) {
        finish(done, false);
        return;
    }
    const EditorTab& tab = m_model.state().tabs.at(*index);
    // The tab's own string, shared until the writer has its own copy.
    DocumentWrite write{
        tabID,
        url,
        tab.document,
        !isSaveAs && tab.fileURL == url,
        tab.lastKnownModificationDate,
        tab.lastKnownFileSize,
        tab.lastKnownFileIdentity,
        tab.lastKnownChangeTime,
        PlainTextDocument{tab.savedSnapshot, tab.savedEncoding, tab.savedLineEnding, false}};
    // The text itself comes back with the outcome: holding it here would hold the tab's string.
    PlainTextDocument written = tab.document;
    written.text.clear();
    QPointer<EditorWindowModel> model(&m_model);
    m_writes->submit(std::move(write),
                     [this, model, tabID, url, isSaveAs, ties = m_untied.value(tabID).size(),
                      written, done](const DocumentWriteOutcome& outcome) {
                         if (model)
                             finishTabWrite(tabID, url, isSaveAs, ties, written, outcome, done);
                     });
}

void DocumentSaving::reportFailure(const QUuid& tabID, const QString& message) {
    const QString cause = saveNoticeCause(tabID);
    // Each failed save is told, even when the person closed the same news before.
    m_model.update([&](EditorWindowState& state) {
        clearNoticeCause(state.notices, cause);
        raiseNotice(state.notices, cause, message);
    });
}

void DocumentSaving::finishTabWrite(const QUuid& tabID, const QUrl& url, bool isSaveAs,
                                    qsizetype ties, const PlainTextDocument& written,
                                    const DocumentWriteOutcome& outcome,
                                    const std::function<void(bool)>& done) {
    const std::optional<int> index = m_model.tabIndex(tabID);
    // Another tab took the file since this write was handed over: the tab keeps what it was
    // left with then.
    const QList<QUrl> takenSince = m_untied.value(tabID).mid(ties);
    const bool untied = std::any_of(takenSince.begin(), takenSince.end(), [&](const QUrl& taken) {
        return isSameFileLocation(taken, url);
    });
    if (!m_writes->isWriting(tabID))
        m_untied.remove(tabID);
    // Told on the window's message bar, read over whichever tab is shown: it names the tab by
    // the title it shows now, and the file it no longer stands for.
    if (untied && index && m_model.state().tabs.at(*index).isUntitled() &&
        outcome.result != DocumentWriteOutcome::Result::Failed)
        reportFailure(tabID,
                      localizedString(QStringLiteral("document.save.overtaken.format"))
                          .arg(displayTitle(m_model.state().tabs.at(*index)), url.fileName()));
    switch (outcome.result) {
    case DocumentWriteOutcome::Result::Failed:
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const std::exception& error) {
            reportFailure(tabID,
                          isSaveAs ? errorDisplayText(error) : localizedErrorDescription(error));
        }
        // The bytes replaced the tab's file, only the disk did not confirm them, or its old bytes
        // were put back: either is the tab's own, not a change on disk to refuse its next save
        // for.
        if (index && !untied && outcome.modificationDate &&
            isSameFileLocation(m_model.state().tabs.at(*index).fileURL, url))
            m_model.update([&](EditorWindowState& state) {
                takeFileLeftByWrite(state.tabs[*index], outcome);
            });
        finish(done, false);
        return;
    case DocumentWriteOutcome::Result::ChangedOnDisk:
        if (index && !untied)
            refuseChangedOnDisk(*index);
        finish(done, false);
        return;
    case DocumentWriteOutcome::Result::Saved:
        if (untied) {
            finish(done, false);
            return;
        }
        break;
    }
    m_model.clearNoticeCause(saveNoticeCause(tabID));
    // The tab's text is on disk: an autosave that failed before has nothing left to tell.
    m_model.clearNoticeCause(autosaveNoticeCause(tabID));
    // Under a new name the tab's hits are listed under a name it no longer has.
    const bool renamed = index && m_model.state().tabs.at(*index).fileURL != url;
    if (index)
        m_model.update([&](EditorWindowState& state) {
            markWritten(state.tabs[*index], url, written, outcome, isSaveAs);
        });
    if (renamed)
        m_model.refreshFindResultsAfterReplacingTab(tabID);
    m_model.recordRecentFile(url);
    m_model.persistSession();
    finish(done, true);
}

void DocumentSaving::saveTextAs(const PlainTextDocument& document,
                                const std::optional<QString>& suggestedName,
                                std::function<void(SaveAsOutcome)> done) {
    QPointer<EditorWindowModel> model(&m_model);
    WindowFilePanels(m_model).chooseSaveLocation(
        suggestedName.value_or(QString()),
        [this, model, document, done = std::move(done)](std::optional<QUrl> url) {
            if (!model || !url) {
                done(SaveAsOutcome{});
                return;
            }
            m_writes->submit(DocumentWrite{QUuid(), *url, document, false, {}, {}},
                             [url, done](const DocumentWriteOutcome& outcome) {
                                 SaveAsOutcome result;
                                 if (outcome.result == DocumentWriteOutcome::Result::Saved)
                                     result.url = url;
                                 else
                                     result.error = outcome.failure;
                                 done(result);
                             });
        });
}

void DocumentSaving::saveKeyboardTabAs(std::function<void()> done) {
    auto finishAs = [done](bool) {
        if (done)
            done();
    };
    const EditorTab& tab = keyboardTab(m_model.state());
    if (tab.isReadOnly) {
        m_model.setFindMessage(localizedString(QLatin1String(readOnlySaveBlockedKey(tab))));
        finishAs(false);
        return;
    }
    const QUuid tabID = tab.id;
    QPointer<EditorWindowModel> model(&m_model);
    WindowFilePanels(m_model).chooseSaveLocation(
        suggestedNameFor(tab),
        [this, model, tabID, finishAs](std::optional<QUrl> url) {
            if (!model || !url) {
                finishAs(false);
                return;
            }
            const EditorTab* current = m_model.tab(tabID);
            if (!current) {
                finishAs(false);
                return;
            }
            // A preview's text is only the beginning of its file: never over that file.
            if (!canSaveTabTo(*current, *url)) {
                m_model.setFindMessage(
                    localizedString(QStringLiteral("large-file.read-only-save-blocked")));
                finishAs(false);
                return;
            }
            SaveOverOpenTab(m_model).write(
                tabID, *url,
                [this, tabID, url = *url](auto written) {
                    writeTabToFile(tabID, url, true, std::move(written));
                },
                finishAs);
        },
        folderOf(tab));
}

void DocumentSaving::saveAllDocuments(std::function<void()> done) {
    struct Run {
        QList<QUuid> tabIDs;
        int next = 0;
        int saved = 0;
        int failed = 0;
        int externallyChanged = 0;
        // Saves handed over whose outcome is not in yet.
        int underWay = 0;
        bool allHandedOver = false;
        std::function<void()> done;
        std::function<void()> step;
        std::function<void()> sumUp;
    };
    auto run = std::make_shared<Run>();
    for (const EditorTab& tab : m_model.state().tabs)
        run->tabIDs.append(tab.id);
    run->done = std::move(done);

    QPointer<EditorWindowModel> model(&m_model);
    std::weak_ptr<Run> weakRun = run;
    // Once every tab was handed over and every outcome is in.
    run->sumUp = [this, model, weakRun] {
        const std::shared_ptr<Run> run = weakRun.lock();
        if (!model || !run || !run->allHandedOver || run->underWay > 0)
            return;
        run->allHandedOver = false;
        m_model.setFindMessage(
            saveAllSummaryMessage([](const QString& key) { return localizedString(key); },
                                  run->saved, run->failed, run->externallyChanged));
        m_model.persistSession();
        if (run->done)
            run->done();
    };
    run->step = [this, model, weakRun] {
        const std::shared_ptr<Run> run = weakRun.lock();
        if (!model || !run)
            return;
        while (run->next < run->tabIDs.size()) {
            const QUuid tabID = run->tabIDs.at(run->next++);
            const std::optional<int> index = m_model.tabIndex(tabID);
            if (!index)
                continue;
            const EditorTab& tab = m_model.state().tabs.at(*index);
            if (!tabIsModified(tab))
                continue;
            if (tab.hasExternalChanges) {
                ++run->externallyChanged;
                if (!m_model.state().decisions.externalChangeTabID)
                    m_model.update([&](EditorWindowState& state) {
                        state.decisions.externalChangeTabID = tabID;
                    });
                continue;
            }
            // Each tab is written where it is: switching tabs would move the panes' documents.
            // One that asks where it goes is shown while it asks. The next tab is taken once
            // this one's text went to the writer; the run stays alive until every outcome is in.
            std::function<void()> putBack;
            if (!tab.fileURL && canSaveOverOriginalFile(tab))
                putBack = showWhileAsked(m_model, tabID);
            ++run->underWay;
            startSave(
                *index,
                [run, putBack] {
                    if (putBack)
                        putBack();
                    run->step();
                },
                [run](bool saved) {
                    ++(saved ? run->saved : run->failed);
                    --run->underWay;
                    run->sumUp();
                });
            return;
        }
        run->allHandedOver = true;
        run->sumUp();
    };
    run->step();
}

} // namespace dunmoss
