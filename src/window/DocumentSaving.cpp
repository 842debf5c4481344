#include "window/DocumentSaving.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentFileWriter.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"
#include "window/WindowFilePanels.h"

#include <QFileInfo>
#include <QPointer>
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

} // namespace

bool DocumentSaving::mayWriteOverFile(int index) {
    const EditorTab& tab = m_model.state().tabs.at(index);
    if (!canSaveOverOriginalFile(tab)) {
        m_model.setFindMessage(
            localizedString(QStringLiteral("large-file.read-only-save-blocked")));
        return false;
    }
    bool changedOnDisk = tab.hasExternalChanges;
    if (!changedOnDisk && tab.fileURL) {
        const QString path = tab.fileURL->toLocalFile();
        changedOnDisk =
            modificationDatesDiffer(fileModificationDate(path), tab.lastKnownModificationDate) ||
            hasFileChangedOnDisk(*tab.fileURL, tab.lastKnownModificationDate,
                                 tab.lastKnownFileSize);
    }
    if (!changedOnDisk)
        return true;
    const QUuid tabID = tab.id;
    // The notice names the tab; no tab is made active, which in a split would swap the panes'
    // documents under the keyboard.
    m_model.update([&](EditorWindowState& state) {
        state.tabs[index].hasExternalChanges = true;
        state.decisions.externalChangeTabID = tabID;
        state.findMessage =
            localizedString(QStringLiteral("document.external-change.save-blocked"));
    });
    return false;
}

void DocumentSaving::saveTab(int index, std::function<void(bool)> done) {
    if (index < 0 || index >= m_model.state().tabs.size()) {
        finish(done, false);
        return;
    }
    if (!mayWriteOverFile(index)) {
        finish(done, false);
        return;
    }
    const EditorTab& tab = m_model.state().tabs.at(index);
    const QUuid tabID = tab.id;
    if (tab.fileURL) {
        writeTabToFile(tabID, *tab.fileURL, false, std::move(done));
        return;
    }
    QPointer<EditorWindowModel> model(&m_model);
    WindowFilePanels(m_model).chooseSaveLocation(
        QString(), [this, model, tabID, done = std::move(done)](std::optional<QUrl> url) {
            if (!model || !url) {
                finish(done, false);
                return;
            }
            writeTabToFile(tabID, *url, false, done);
        });
}

void DocumentSaving::writeTabToFile(const QUuid& tabID, QUrl url, bool isSaveAs,
                                    std::function<void(bool)> done) {
    const std::optional<int> index = m_model.tabIndex(tabID);
    if (!index) {
        finish(done, false);
        return;
    }
    try {
        writeDocumentAtomically(m_model.state().tabs.at(*index).document, url);
    } catch (const std::exception& error) {
        m_model.setErrorMessage(isSaveAs ? errorDisplayText(error)
                                         : localizedErrorDescription(error));
        finish(done, false);
        return;
    }
    m_model.update([&](EditorWindowState& state) {
        if (isSaveAs)
            markSavedAs(state.tabs[*index], url);
        else
            markSaved(state.tabs[*index], url);
    });
    m_model.recordRecentFile(url);
    m_model.persistSession();
    finish(done, true);
}

void DocumentSaving::saveTextAs(const PlainTextDocument& document,
                                const std::optional<QString>& suggestedName,
                                std::function<void(SaveAsOutcome)> done) {
    WindowFilePanels(m_model).chooseSaveLocation(
        suggestedName.value_or(QString()),
        [document, done = std::move(done)](std::optional<QUrl> url) {
            SaveAsOutcome outcome;
            if (url) {
                try {
                    writeDocumentAtomically(document, *url);
                    outcome.url = url;
                } catch (...) {
                    outcome.error = std::current_exception();
                }
            }
            done(outcome);
        });
}

void DocumentSaving::saveKeyboardTabAs(std::function<void()> done) {
    auto finishAs = [done](bool) {
        if (done)
            done();
    };
    const EditorTab& tab = keyboardTab(m_model.state());
    if (tab.isReadOnly) {
        m_model.setFindMessage(
            localizedString(QStringLiteral("large-file.read-only-save-blocked")));
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
            writeTabToFile(tabID, *url, true, finishAs);
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
        std::function<void()> done;
        std::function<void()> step;
    };
    auto run = std::make_shared<Run>();
    for (const EditorTab& tab : m_model.state().tabs)
        run->tabIDs.append(tab.id);
    run->done = std::move(done);

    QPointer<EditorWindowModel> model(&m_model);
    std::weak_ptr<Run> weakRun = run;
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
            // One that asks where it goes is shown while it asks. The run stays alive through
            // the completion, which may come later.
            std::function<void()> putBack;
            if (!tab.fileURL && canSaveOverOriginalFile(tab))
                putBack = showWhileAsked(m_model, tabID);
            saveTab(*m_model.tabIndex(tabID), [run, putBack](bool saved) {
                if (putBack)
                    putBack();
                ++(saved ? run->saved : run->failed);
                run->step();
            });
            return;
        }
        m_model.setFindMessage(
            saveAllSummaryMessage([](const QString& key) { return localizedString(key); },
                                  run->saved, run->failed, run->externallyChanged));
        m_model.persistSession();
        if (run->done)
            run->done();
    };
    run->step();
}

} // namespace dunmoss
